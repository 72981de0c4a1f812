// The placeholder icon handler as Explorer meets it: created through the
// built DLL's class factory, loaded with a path, asked for its icons.
#include <windows.h>
#include <commctrl.h>
#include <commoncontrols.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <versionhelpers.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "iconhandler/iconpixels.h"
#include "support/dllundertest.h"
#include "support/importhook.h"
#include "support/testfiles.h"

namespace {

constexpr uint32_t ringColor = 0xFFB3B3B3;
constexpr uint32_t arcColor = 0xFF00C3FF;

struct ComRelease {
  void operator()(IUnknown* unknown) const { unknown->Release(); }
};

class IconHandler {
 public:
  explicit IconHandler(const DllUnderTest& dll) {
    created = dll.CreateObject(TestClassId(1), IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (file) file->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(&extract));
  }
  ~IconHandler() {
    if (extract) extract->Release();
    if (file) file->Release();
  }
  IconHandler(const IconHandler&) = delete;
  IconHandler& operator=(const IconHandler&) = delete;

  HRESULT created;
  IPersistFile* file = nullptr;
  IExtractIconW* extract = nullptr;
};

// Both icons of one Extract call, destroyed with the object.
struct ExtractedIcons {
  HRESULT result = E_FAIL;
  HICON large = nullptr;
  HICON small = nullptr;
  ~ExtractedIcons() {
    if (large) DestroyIcon(large);
    if (small) DestroyIcon(small);
  }
};

void Extract(const DllUnderTest& dll, const std::wstring& path, UINT sizes, ExtractedIcons& icons) {
  IconHandler handler(dll);
  ASSERT_EQ(handler.created, S_OK);
  ASSERT_EQ(handler.file->Load(path.c_str(), STGM_READ), S_OK);
  icons.result = handler.extract->Extract(path.c_str(), 0, &icons.large, &icons.small, sizes);
}

// The shell's own icons of this run, faded as a placeholder shows them.
Pixels ShellJumboIcon(const wchar_t* name, DWORD attribute) {
  SHFILEINFOW info{};
  SHGetFileInfoW(name, attribute, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES);
  IImageList* list = nullptr;
  if (FAILED(SHGetImageList(SHIL_JUMBO, __uuidof(IImageList), reinterpret_cast<void**>(&list)))) return {};
  HICON icon = nullptr;
  list->GetIcon(info.iIcon, ILD_NORMAL, &icon);
  list->Release();
  Pixels pixels = ReadIconPixels(icon);
  DestroyIcon(icon);
  return pixels;
}

Pixels ShellSmallIcon(const wchar_t* name, DWORD attribute) {
  SHFILEINFOW info{};
  SHGetFileInfoW(name, attribute, &info, sizeof(info), SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES);
  Pixels pixels = ReadIconPixels(info.hIcon);
  DestroyIcon(info.hIcon);
  return pixels;
}

class ShellFileIconDll : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(dll.Module(), nullptr);
    // A synchronised folder in mode true, one in mode false, and a folder
    // outside any synchronised folder.
    for (const auto& [name, record] : {std::pair{L"modeOn", "d4:modei1ee"}, std::pair{L"modeOff", "d4:modei0ee"}}) {
      ASSERT_TRUE(CreateFolder(folder / name));
      ASSERT_TRUE(CreateFolder(folder / name + L"\\.sync"));
      ASSERT_TRUE(WriteBytes(folder / name + L"\\.sync\\ID", ""));
      ASSERT_TRUE(WriteBytes(folder / name + L"\\.sync\\ID:com.tamvera.Sync", record));
    }
    ASSERT_TRUE(CreateFolder(folder / L"plain"));
  }

  // A placeholder with the given state record ("" for none).
  std::wstring Placeholder(const std::wstring& relative, const std::string& state) {
    const std::wstring path = folder / relative;
    EXPECT_TRUE(WriteBytes(path, ""));
    if (!state.empty()) {
      EXPECT_TRUE(WriteBytes(path + L":com.tamvera.Sync", state));
    }
    return path;
  }

  DllUnderTest dll;
  TempFolder folder;
};

TEST_F(ShellFileIconDll, AnswersForItsTwoInterfacesWithOneIdentity) {
  IconHandler handler(dll);
  ASSERT_EQ(handler.created, S_OK);
  IUnknown* unknown = nullptr;
  ASSERT_EQ(handler.file->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(handler.extract));
  unknown->Release();
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(handler.extract->QueryInterface(IID_IPersist, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(handler.extract->QueryInterface(IID_IContextMenu, &other), E_NOINTERFACE);

  CLSID classId{};
  EXPECT_EQ(handler.file->GetClassID(&classId), E_NOTIMPL);
  EXPECT_EQ(handler.file->IsDirty(), E_NOTIMPL);
  EXPECT_EQ(handler.file->Save(L"x", TRUE), E_NOTIMPL);
  EXPECT_EQ(handler.file->SaveCompleted(L"x"), E_NOTIMPL);
  LPOLESTR current = nullptr;
  EXPECT_EQ(handler.file->GetCurFile(&current), E_NOTIMPL);
}

TEST_F(ShellFileIconDll, IconLocationAsksExplorerNotToCache) {
  IconHandler handler(dll);
  wchar_t buffer[8] = L"keep";
  int index = 42;
  UINT flags = 0;
  ASSERT_EQ(handler.extract->GetIconLocation(GIL_FORSHELL, buffer, 8, &index, &flags), S_OK);
  EXPECT_EQ(flags, static_cast<UINT>(GIL_NOTFILENAME | GIL_DONTCACHE));
  EXPECT_STREQ(buffer, L"keep");
  EXPECT_EQ(index, 42);
}

TEST_F(ShellFileIconDll, AnswersOnlyForPlaceholderPaths) {
  const std::wstring document = Placeholder(L"plain\\report.docx", "d10:kvx_statusi55ee");
  const std::wstring upper = Placeholder(L"plain\\REPORT.DOCX.TMVS", "d10:kvx_statusi55ee");
  const HICON untouched = reinterpret_cast<HICON>(static_cast<INT_PTR>(7));
  for (const std::wstring& path : {document, folder / L"plain\\a.tmvs\\b", folder / L"plain\\x.tmvsx", std::wstring()}) {
    IconHandler handler(dll);
    ASSERT_EQ(handler.file->Load(path.c_str(), STGM_READ), S_OK);
    HICON large = untouched, small = untouched;
    EXPECT_EQ(handler.extract->Extract(path.c_str(), 0, &large, &small, MAKELONG(0, 16)), E_NOTIMPL);
    EXPECT_EQ(large, untouched) << "nothing written";
    EXPECT_EQ(small, untouched);
  }
  {
    IconHandler handler(dll);
    HICON large = untouched;
    EXPECT_EQ(handler.extract->Extract(nullptr, 0, &large, nullptr, MAKELONG(0, 16)), E_NOTIMPL)
        << "no Load before Extract";
  }
  ExtractedIcons icons;
  Extract(dll, upper, MAKELONG(0, 16), icons);
  EXPECT_EQ(icons.result, S_OK);
  EXPECT_TRUE(icons.large && icons.small);
}

TEST_F(ShellFileIconDll, LongPathsAreNeitherOverrunNorCutToAnotherName) {
  const std::wstring base = folder.Path() + L"\\";
  // 259 characters fit; the file does not exist, so it shows the 0 % mark.
  const std::wstring fits = base + std::wstring(259 - base.size() - 5, L'f') + L".tmvs";
  ASSERT_EQ(fits.size(), 259u);
  {
    ExtractedIcons icons;
    Extract(dll, fits, MAKELONG(0, 16), icons);
    EXPECT_EQ(icons.result, S_OK);
    EXPECT_GT(ReadIconPixels(icons.large).Count(ringColor), 0u);
  }
  for (size_t length : {260u, 300u, 4000u, 40000u}) {
    const std::wstring tooLong = base + std::wstring(length - base.size() - 5, L'g') + L".tmvs";
    ExtractedIcons icons;
    Extract(dll, tooLong, MAKELONG(0, 16), icons);
    EXPECT_EQ(icons.result, E_NOTIMPL) << length;
  }
  // Cut at 259 this one would end in ".tmvs" and name another file.
  const std::wstring cutToPlaceholder = fits + L"\\more.docx";
  ExtractedIcons icons;
  Extract(dll, cutToPlaceholder, MAKELONG(0, 16), icons);
  EXPECT_EQ(icons.result, E_NOTIMPL);
}

TEST_F(ShellFileIconDll, NoRecordedProgressShowsTheFadedIconInModeTrueFolders) {
  const Pixels expectedLarge = Faded(ShellJumboIcon(L"x.docx", FILE_ATTRIBUTE_NORMAL));
  const Pixels expectedSmall = Faded(ShellSmallIcon(L"x.docx", FILE_ATTRIBUTE_NORMAL));
  ASSERT_FALSE(expectedLarge.Empty());
  ExtractedIcons icons;
  Extract(dll, Placeholder(L"modeOn\\report.docx.tmvs", "d8:kvx_typei1ee"), MAKELONG(0, 16), icons);
  ASSERT_EQ(icons.result, S_OK);
  EXPECT_EQ(ReadIconPixels(icons.large).argb, expectedLarge.argb);
  EXPECT_EQ(ReadIconPixels(icons.small).argb, expectedSmall.argb);
}

TEST_F(ShellFileIconDll, NoRecordedProgressElsewhereShowsTheEmptyMark) {
  for (const wchar_t* place : {L"modeOff\\report.docx.tmvs", L"plain\\report.docx.tmvs"}) {
    ExtractedIcons icons;
    Extract(dll, Placeholder(place, ""), MAKELONG(0, 16), icons);
    ASSERT_EQ(icons.result, S_OK);
    const Pixels large = ReadIconPixels(icons.large);
    EXPECT_EQ(large.At(124, 53), ringColor) << place;
    EXPECT_EQ(large.Count(arcColor), 0u) << place;
    EXPECT_GT(ReadIconPixels(icons.small).Count(ringColor), 0u) << place;
  }
}

struct ProgressCase {
  const char* record;
  bool top, right, left;
};

class ShellFileIconProgress : public ShellFileIconDll, public ::testing::WithParamInterface<ProgressCase> {};

TEST_P(ShellFileIconProgress, ArcFollowsTheRecordedProgress) {
  ExtractedIcons icons;
  Extract(dll, Placeholder(L"modeOn\\photo.png.tmvs", GetParam().record), MAKELONG(0, 16), icons);
  ASSERT_EQ(icons.result, S_OK);
  const Pixels large = ReadIconPixels(icons.large);
  ASSERT_EQ(large.width, 256);
  EXPECT_EQ(large.At(124, 53) == arcColor, GetParam().top);
  EXPECT_EQ(large.At(196, 124) == arcColor, GetParam().right);
  EXPECT_EQ(large.At(53, 124) == arcColor, GetParam().left);
  EXPECT_EQ(large.At(53, 124) == ringColor, !GetParam().left);
}

INSTANTIATE_TEST_SUITE_P(Steps, ShellFileIconProgress,
                         ::testing::Values(ProgressCase{"d10:kvx_statusi0ee", false, false, false},
                                           ProgressCase{"d10:kvx_statusi4ee", false, false, false},
                                           ProgressCase{"d10:kvx_statusi27ee", true, false, false},
                                           ProgressCase{"d10:kvx_statusi50ee", true, true, false},
                                           ProgressCase{"d10:kvx_statusi99ee", true, true, true},
                                           ProgressCase{"d10:kvx_statusi100ee", true, true, true}));

// Windows Vista and 7 give the large folder from the stock folder icon's
// 256-pixel image, later versions from the jumbo image list. Wine reports
// Windows 7 and its stock folder answer names its generic file icon, so
// there the large folder placeholder shows that one.
Pixels ShellLargeFolderIcon() {
  if (!IsWindowsVistaOrGreater() || IsWindows8OrGreater()) return ShellJumboIcon(L"x", FILE_ATTRIBUTE_DIRECTORY);
  SHSTOCKICONINFO stock{};
  stock.cbSize = sizeof(stock);
  if (FAILED(SHGetStockIconInfo(SIID_FOLDER, SHGSI_ICONLOCATION, &stock))) return {};
  HMODULE module = LoadLibraryExW(stock.szPath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(-stock.iIcon), IMAGE_ICON, 256, 256, 0));
  Pixels pixels = ReadIconPixels(icon);
  DestroyIcon(icon);
  FreeLibrary(module);
  return pixels;
}

TEST_F(ShellFileIconDll, FolderPlaceholdersShowTheFolderIcon) {
  const Pixels smallFolder = Faded(ShellSmallIcon(L"x", FILE_ATTRIBUTE_DIRECTORY));
  ASSERT_NE(smallFolder.argb, Faded(ShellSmallIcon(L"x", FILE_ATTRIBUTE_NORMAL)).argb)
      << "the shell tells folders from files";
  const Pixels largeFolder = Faded(ShellLargeFolderIcon());
  ASSERT_EQ(largeFolder.width, 256);
  ExtractedIcons icons;
  Extract(dll, Placeholder(L"modeOn\\Photos.tmvs", "d8:kvx_typei2ee"), MAKELONG(0, 16), icons);
  ASSERT_EQ(icons.result, S_OK);
  EXPECT_EQ(ReadIconPixels(icons.large).argb, largeFolder.argb);
  EXPECT_EQ(ReadIconPixels(icons.small).argb, smallFolder.argb);
}

TEST_F(ShellFileIconDll, OnlyTheAskedIconsAreMade) {
  const std::wstring path = Placeholder(L"plain\\a.docx.tmvs", "d10:kvx_statusi50ee");
  IconHandler handler(dll);
  ASSERT_EQ(handler.file->Load(path.c_str(), STGM_READ), S_OK);
  for (UINT sizes : {MAKELONG(0, 16), MAKELONG(32, 32)}) {
    HICON large = nullptr;
    ASSERT_EQ(handler.extract->Extract(nullptr, 0, &large, nullptr, sizes), S_OK);
    EXPECT_NE(large, nullptr);
    DestroyIcon(large);
    HICON small = nullptr;
    ASSERT_EQ(handler.extract->Extract(nullptr, 0, nullptr, &small, sizes), S_OK);
    EXPECT_NE(small, nullptr);
    DestroyIcon(small);
    EXPECT_EQ(handler.extract->Extract(nullptr, 0, nullptr, nullptr, sizes), S_OK);
  }
}

}  // namespace
