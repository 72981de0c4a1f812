// What the menu settles once per loaded DLL: the installation it belongs to
// and its bitmaps. Each case loads a fresh copy of the DLL.
#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "support/menuharness.h"
#include "channel/scopechoice.h"

namespace {

class Process : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureLogFolder(); }
  TempFolder folder;
  const std::wstring file = [this] {
    MakeSyncRoot(folder / L"Sync", FolderRecord(2, 1, CurrentUser()));
    WriteBytes(folder / L"Sync\\a.txt", "content");
    return folder / L"Sync\\a.txt";
  }();
};

// Scopes differ in when the menu shows: User always, Service never without
// the service, Undecided only while some application is present.
InstallScope ObservedScope(const DllCopy& dll, const std::wstring& file) {
  const auto shown = [&] { return QueryMenu(dll.CreateMenu().Get(), DropDataObject({file}).Get()).result == 6; };
  if (shown()) return InstallScope::User;
  HANDLE userApp = CreateMutexW(nullptr, FALSE, L"Local\\pipesynccmd_sync");
  const bool withUserApp = shown();
  CloseHandle(userApp);
  return withUserApp ? InstallScope::Undecided : InstallScope::Service;
}

enum class LoadFrom { UserCopy, LinkToMachineCopy, OtherCopy };

struct ScopeCase {
  const char* name;
  DWORD userType;  // REG_NONE: no user installation
  bool machine;
  LoadFrom loadFrom;
  InstallScope expected;
};

class Scopes : public Process, public ::testing::WithParamInterface<ScopeCase> {};

TEST_P(Scopes, AreDecidedFromTheLocationsAndTheDllsFileIdentity) {
  const ScopeCase& row = GetParam();
  std::optional<InstallLocationKey> userKey, machineKey;
  if (row.userType != REG_NONE) userKey.emplace(HKEY_CURRENT_USER, folder / L"user", row.userType);
  if (row.machine) machineKey.emplace(HKEY_LOCAL_MACHINE, folder / L"machine");
  // The installations' own copies are only looked at; the user copy is loaded or placed.
  const std::wstring machineCopy = PlaceDllCopy(folder / L"machine");
  if (row.loadFrom != LoadFrom::UserCopy) PlaceDllCopy(folder / L"user");
  const DllCopy loaded(row.loadFrom == LoadFrom::UserCopy ? folder / L"user" : folder / L"load",
                       row.loadFrom == LoadFrom::LinkToMachineCopy ? machineCopy : L"");
  ASSERT_TRUE(loaded.Loaded());
  EXPECT_EQ(ObservedScope(loaded, file), row.expected);
  const std::vector<std::wstring> log = LogMessagesOfThisProcess();
  if (row.expected == InstallScope::Service) {
    EXPECT_NE(std::find(log.begin(), log.end(), L"Context menu: menu will not be shown. No pipe and scope isn't USER"),
              log.end());
  }
}

INSTANTIATE_TEST_SUITE_P(
    Installations, Scopes,
    ::testing::Values(
        ScopeCase{"OnlyPerUser", REG_SZ, false, LoadFrom::OtherCopy, InstallScope::User},
        ScopeCase{"OnlyPerMachineWithoutTheService", REG_NONE, true, LoadFrom::OtherCopy, InstallScope::Service},
        ScopeCase{"Neither", REG_NONE, false, LoadFrom::OtherCopy, InstallScope::Undecided},
        ScopeCase{"ExpandStringCountsAsMissing", REG_EXPAND_SZ, true, LoadFrom::OtherCopy, InstallScope::Service},
        ScopeCase{"BothAndLoadedIsHardLinkOfMachineCopy", REG_SZ, true, LoadFrom::LinkToMachineCopy,
                  InstallScope::Service},
        ScopeCase{"BothAndLoadedIsUserCopy", REG_SZ, true, LoadFrom::UserCopy, InstallScope::User},
        ScopeCase{"BothAndLoadedIsNeitherCopy", REG_SZ, true, LoadFrom::OtherCopy, InstallScope::Undecided}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Process, AnUndecidedScopeIsDecidedAgainAndADecidedOneStays) {
  DllCopy dll(folder / L"load");
  EXPECT_EQ(ObservedScope(dll, file), InstallScope::Undecided);
  {
    InstallLocationKey userKey(HKEY_CURRENT_USER, folder / L"user");
    EXPECT_EQ(ObservedScope(dll, file), InstallScope::User);
  }
  InstallLocationKey machineKey(HKEY_LOCAL_MACHINE, folder / L"machine");
  EXPECT_EQ(ObservedScope(dll, file), InstallScope::User);
}

// A 16-pixel icon file of one opaque colour.
std::string SolidIconFile(RGBQUAD colour) {
  std::string file;
  const auto put = [&](auto value) { file.append(reinterpret_cast<const char*>(&value), sizeof value); };
  put(WORD{0}), put(WORD{1}), put(WORD{1}), put(DWORD{0x1010}), put(WORD{1}), put(WORD{32});
  put(DWORD{40 + 16 * 16 * 4 + 16 * 4}), put(DWORD{22});
  put(BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), 16, 32, 1, 32, BI_RGB, 0, 0, 0, 0, 0});
  for (int i = 0; i < 16 * 16; ++i) put(colour);
  return file.append(16 * 4, '\0');
}

// BGRA; empty unless the bitmap is a 32-bit DIB section.
std::vector<BYTE> PixelsOf(HBITMAP bitmap) {
  DIBSECTION dib{};
  if (GetObjectW(bitmap, sizeof dib, &dib) != sizeof dib || dib.dsBm.bmBitsPixel != 32) return {};
  const BYTE* bits = static_cast<const BYTE*>(dib.dsBm.bmBits);
  return {bits, bits + dib.dsBm.bmWidthBytes * dib.dsBm.bmHeight};
}

std::vector<std::vector<BYTE>> MenuImages(const std::wstring& dllFolder, const std::wstring& file) {
  const DllCopy dll(dllFolder);
  const ComPtr<IContextMenu> menu = dll.CreateMenu();  // owns the bitmaps
  std::vector<std::vector<BYTE>> images;
  for (const MenuItem& item : QueryMenu(menu.Get(), DropDataObject({file}).Get()).items)
    if (item.bitmap) images.push_back(PixelsOf(item.bitmap));
  return images;
}

TEST_F(Process, IconFilesBesideTheDllReplaceSingleBitmapsAndCorruptOnesFallBack) {
  InstallLocationKey userKey(HKEY_CURRENT_USER, folder / L"user");
  const std::vector<std::vector<BYTE>> resources = MenuImages(folder / L"plain", file);
  ASSERT_EQ(resources.size(), 3u);
  for (const std::vector<BYTE>& image : resources) {
    ASSERT_FALSE(image.empty()) << "32 bits per pixel";
    EXPECT_EQ(image[3], 0) << "the corners stay transparent";
    bool opaque = false;
    for (size_t i = 3; i < image.size(); i += 4) opaque |= image[i] == 255;
    EXPECT_TRUE(opaque);
  }
  CreateFolder(folder / L"icons");
  CreateFolder(folder / L"icons\\menu_sync.ico");
  WriteBytes(folder / L"icons\\menu_remove.ico", "not an icon at all");
  WriteBytes(folder / L"icons\\menu_destroy.ico", SolidIconFile({0, 200, 0, 255}));
  const std::vector<std::vector<BYTE>> images = MenuImages(folder / L"icons", file);
  ASSERT_EQ(images.size(), 3u);
  EXPECT_EQ(images[0], resources[0]) << "a folder of the icon's name is no icon";
  EXPECT_EQ(images[1], resources[1]) << "a corrupt file falls back to the resource";
  ASSERT_EQ(images[2].size(), resources[2].size());
  const auto middle = images[2].begin() + images[2].size() / 8 * 4;
  EXPECT_EQ(std::vector<BYTE>(middle, middle + 4), (std::vector<BYTE>{0, 200, 0, 255}));
}

}  // namespace
