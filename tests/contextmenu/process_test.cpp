// What the menu settles once per loaded DLL: the installation it belongs
// to, its texts and its bitmaps. Every case loads a fresh copy of the DLL
// from a folder of its own, so that nothing is left from an earlier case.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <array>
#include <optional>
#include <thread>

#include "contextmenu/menuharness.h"
#include "module/modulestate.h"
#include "support/dllundertest.h"

namespace {

class Process : public ::testing::Test {
 protected:
  std::wstring Selection() {
    const std::wstring root = folder / L"Sync";
    MakeSyncRoot(root, FolderRecord(2, 1, CurrentUser()));
    WriteBytes(root + L"\\a.txt", "content");
    return root + L"\\a.txt";
  }
  TempFolder folder;
};

HANDLE PresenceMutex(const wchar_t* name) { return CreateMutexW(nullptr, FALSE, name); }

// Scopes differ in when the menu shows: User always, Service never without
// the service, Undecided only while some application is present.
InstallScope ObservedScope(const DllCopy& dll, const std::wstring& file) {
  const auto shown = [&] {
    return QueryMenu(dll.CreateMenu().Get(), DropDataObject({file}).Get()).result == MAKE_HRESULT(0, 0, 6);
  };
  const bool alone = shown();
  HANDLE userApp = PresenceMutex(L"Local\\pipesynccmd_sync");
  const bool withUserApp = shown();
  CloseHandle(userApp);
  if (alone) return InstallScope::User;
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
  const ScopeCase& param = GetParam();
  const std::wstring user = folder / L"user";
  const std::wstring machine = folder / L"machine";
  std::optional<InstallLocationKey> userKey, machineKey;
  if (param.userType != REG_NONE) userKey.emplace(HKEY_CURRENT_USER, user, param.userType);
  if (param.machine) machineKey.emplace(HKEY_LOCAL_MACHINE, machine);
  const std::wstring file = Selection();
  // The installations' own copies are only looked at, never loaded.
  std::optional<DllCopy> loaded;
  const std::wstring machineCopy = PlaceDllCopy(machine);
  if (param.loadFrom == LoadFrom::UserCopy) {
    loaded.emplace(user);
  } else {
    PlaceDllCopy(user);
    if (param.loadFrom == LoadFrom::LinkToMachineCopy) loaded.emplace(folder / L"load", machineCopy);
    else loaded.emplace(folder / L"load");
  }
  ASSERT_TRUE(loaded->Loaded());
  EXPECT_EQ(ObservedScope(*loaded, file), param.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Installations, Scopes,
    ::testing::Values(
        ScopeCase{"OnlyPerUser", REG_SZ, false, LoadFrom::OtherCopy, InstallScope::User},
        ScopeCase{"OnlyPerMachine", REG_NONE, true, LoadFrom::OtherCopy, InstallScope::Service},
        ScopeCase{"Neither", REG_NONE, false, LoadFrom::OtherCopy, InstallScope::Undecided},
        ScopeCase{"ExpandStringCountsAsMissing", REG_EXPAND_SZ, true, LoadFrom::OtherCopy, InstallScope::Service},
        ScopeCase{"BothAndLoadedIsHardLinkOfMachineCopy", REG_SZ, true, LoadFrom::LinkToMachineCopy,
                  InstallScope::Service},
        ScopeCase{"BothAndLoadedIsUserCopy", REG_SZ, true, LoadFrom::UserCopy, InstallScope::User},
        ScopeCase{"BothAndLoadedIsNeitherCopy", REG_SZ, true, LoadFrom::OtherCopy, InstallScope::Undecided}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Process, AnUndecidedScopeIsDecidedAgainAndADecidedOneStays) {
  const std::wstring file = Selection();
  DllCopy dll(folder / L"load");
  EXPECT_EQ(ObservedScope(dll, file), InstallScope::Undecided);
  {
    InstallLocationKey userKey(HKEY_CURRENT_USER, folder / L"user");
    EXPECT_EQ(ObservedScope(dll, file), InstallScope::User);
  }
  InstallLocationKey machineKey(HKEY_LOCAL_MACHINE, folder / L"machine");
  EXPECT_EQ(ObservedScope(dll, file), InstallScope::User);
}

TEST_F(Process, WithoutTheServiceAMachineInstallationShowsNoMenu) {
  EnsureLogFolder();
  InstallLocationKey machineKey(HKEY_LOCAL_MACHINE, folder / L"machine");
  DllCopy dll(folder / L"load");
  const QueryResult query = QueryMenu(dll.CreateMenu().Get(), DropDataObject({Selection()}).Get());
  EXPECT_EQ(query.result, E_NOTIMPL);
  EXPECT_EQ(query.items.size(), 2u);
  const std::vector<std::wstring> log = LogMessagesOfThisProcess();
  ASSERT_GE(log.size(), 2u);
  EXPECT_EQ(log[log.size() - 2], L"Called context menu");
  EXPECT_EQ(log.back(), L"Context menu: menu will not be shown. No pipe and scope isn't USER");
}

// A 16-pixel icon file of one opaque colour.
std::string SolidIconFile(BYTE red, BYTE green, BYTE blue) {
  constexpr int side = 16;
  std::string file;
  const auto put = [&](auto value) { file.append(reinterpret_cast<const char*>(&value), sizeof value); };
  const DWORD imageSize = 40 + side * side * 4 + side * 4;
  put(WORD{0}), put(WORD{1}), put(WORD{1});
  put(BYTE{side}), put(BYTE{side}), put(BYTE{0}), put(BYTE{0}), put(WORD{1}), put(WORD{32}), put(imageSize),
      put(DWORD{22});
  BITMAPINFOHEADER header{sizeof header, side, side * 2, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  put(header);
  for (int i = 0; i < side * side; ++i) put(RGBQUAD{blue, green, red, 255});
  file.append(side * 4, '\0');
  return file;
}

// BGRA, top row first; empty unless the bitmap has 32 bits per pixel.
std::vector<BYTE> PixelsOf(HBITMAP bitmap) {
  BITMAP info{};
  if (!GetObjectW(bitmap, sizeof info, &info) || info.bmBitsPixel != 32) return {};
  BITMAPINFO format{};
  format.bmiHeader = {sizeof(BITMAPINFOHEADER), info.bmWidth, -info.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  std::vector<BYTE> pixels(static_cast<size_t>(info.bmWidth) * info.bmHeight * 4);
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, bitmap, 0, info.bmHeight, pixels.data(), &format, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  return rows == info.bmHeight ? pixels : std::vector<BYTE>{};
}

TEST_F(Process, IconFilesBesideTheDllReplaceSingleBitmapsAndCorruptOnesFallBack) {
  const std::wstring file = Selection();
  InstallLocationKey userKey(HKEY_CURRENT_USER, folder / L"user");
  std::array<std::vector<BYTE>, 3> fromResources;
  {
    DllCopy plain(folder / L"plain");
    const ComPtr<IContextMenu> menu = plain.CreateMenu();  // owns the bitmaps
    const QueryResult query = QueryMenu(menu.Get(), DropDataObject({file}).Get());
    ASSERT_EQ(query.items.size(), 5u);
    for (size_t slot = 0; slot < 3; ++slot) fromResources[slot] = PixelsOf(query.items[slot + 1].bitmap);
  }
  const int pixels = GetSystemMetrics(SM_CXMENUCHECK) * GetSystemMetrics(SM_CYMENUCHECK);
  for (const std::vector<BYTE>& image : fromResources) {
    ASSERT_EQ(image.size(), static_cast<size_t>(pixels) * 4) << "32 bits at the check-mark size";
    int opaque = 0, clear = 0;
    for (size_t i = 3; i < image.size(); i += 4) (image[i] == 255 ? opaque : image[i] == 0 ? clear : opaque) += 1;
    EXPECT_GT(opaque, 0);
    EXPECT_GT(clear, 0) << "the corners stay transparent";
  }

  ASSERT_TRUE(CreateFolder(folder / L"icons"));
  ASSERT_TRUE(CreateFolder(folder / L"icons\\menu_sync.ico"));
  ASSERT_TRUE(WriteBytes(folder / L"icons\\menu_remove.ico", "not an icon at all"));
  ASSERT_TRUE(WriteBytes(folder / L"icons\\menu_destroy.ico", SolidIconFile(0, 200, 0)));
  DllCopy withFiles(folder / L"icons");
  const ComPtr<IContextMenu> menu = withFiles.CreateMenu();
  const QueryResult query = QueryMenu(menu.Get(), DropDataObject({file}).Get());
  ASSERT_EQ(query.items.size(), 5u);
  EXPECT_EQ(PixelsOf(query.items[1].bitmap), fromResources[0]) << "a folder of the icon's name is no icon";
  EXPECT_EQ(PixelsOf(query.items[2].bitmap), fromResources[1]) << "a corrupt file falls back to the resource";
  const std::vector<BYTE> replaced = PixelsOf(query.items[3].bitmap);
  ASSERT_EQ(replaced.size(), fromResources[2].size());
  const size_t centre = (replaced.size() / 8) * 4;
  EXPECT_EQ(std::vector<BYTE>(replaced.begin() + centre, replaced.begin() + centre + 4),
            (std::vector<BYTE>{0, 200, 0, 255}));
}

TEST_F(Process, NarrowHelpTextsAreUtf8CutBetweenCharacters) {
  // The language override beside the host program replaces the share text.
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  const std::wstring overrideFile = std::wstring(exe) + L".lang.txt";
  WriteBytes(overrideFile, "Share with %APPNAME%\r\nTeilen \xC3\xBC" "ber Tamvera Sync\r\n");
  {
    DllCopy dll(folder / L"load");
    const ComPtr<IContextMenu> menu = dll.CreateMenu();
    wchar_t wide[64] = {};
    ASSERT_EQ(menu->GetCommandString(1, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(wide), 64), S_OK);
    EXPECT_STREQ(wide, L"Teilen \u00fcber Tamvera Sync");
    char narrow[64] = {};
    ASSERT_EQ(menu->GetCommandString(1, GCS_HELPTEXTA, nullptr, narrow, 64), S_OK);
    EXPECT_STREQ(narrow, "Teilen \xC3\xBC" "ber Tamvera Sync");
    ASSERT_EQ(menu->GetCommandString(1, GCS_HELPTEXTA, nullptr, narrow, 9), S_OK);
    EXPECT_STREQ(narrow, "Teilen ") << "half a character is no text";
  }
  DeleteFileW(overrideFile.c_str());
  DeleteFileW((std::wstring(exe) + L".log").c_str());
}

TEST_F(Process, ThreadsThatBuildTheFirstMenusAtOnceAllSeeTheWholeTexts) {
  DllCopy dll(folder / L"load");
  dll.Factory();  // the module's own first-call setup, apart from the texts
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::array<std::wstring, 8> seen;
  std::vector<std::thread> threads;
  for (std::wstring& text : seen) {
    threads.emplace_back([&dll, &text, go] {
      const ComPtr<IClassFactory> factory = dll.Factory();
      WaitForSingleObject(go, INFINITE);
      ComPtr<IContextMenu> menu;
      factory->CreateInstance(nullptr, IID_PPV_ARGS(&menu));
      wchar_t wide[64] = {};
      menu->GetCommandString(5, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(wide), 64);
      text = wide;
    });
  }
  SetEvent(go);
  for (std::thread& thread : threads) thread.join();
  CloseHandle(go);
  for (const std::wstring& text : seen) EXPECT_EQ(text, L"Remove from all devices");
}

}  // namespace
