// The placeholder icon handler as Explorer meets it: created through the
// built DLL's class factory, loaded with a path, asked for its icons. The
// expected pictures are the shell's own icons of this run, faded.
#include <windows.h>
#include <commctrl.h>
#include <commoncontrols.h>
#include <shellapi.h>
#include <shlobj.h>
#include <versionhelpers.h>

#include <gtest/gtest.h>

#include <string>

#include "iconhandler/iconpixels.h"
#include "support/dllundertest.h"
#include "support/testfiles.h"

namespace {

constexpr uint32_t ringColor = 0xFFB3B3B3;
constexpr uint32_t arcColor = 0xFF00C3FF;

class IconHandler {
 public:
  IconHandler(const DllUnderTest& dll, const std::wstring& path) {
    EXPECT_EQ(dll.CreateObject(TestClassId(1), IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    file->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(&extract));
    EXPECT_EQ(file->Load(path.c_str(), STGM_READ), S_OK);
  }
  ~IconHandler() {
    extract->Release();
    file->Release();
  }
  IconHandler(const IconHandler&) = delete;
  IconHandler& operator=(const IconHandler&) = delete;

  IPersistFile* file = nullptr;
  IExtractIconW* extract = nullptr;
};

// Both icons of one Extract call as winefile asks for them: large size 0,
// small 16.
struct Icons {
  HRESULT result = E_FAIL;
  Pixels large, small;
};

Icons ExtractIcons(const DllUnderTest& dll, const std::wstring& path) {
  IconHandler handler(dll, path);
  HICON large = nullptr, small = nullptr;
  Icons icons;
  icons.result = handler.extract->Extract(path.c_str(), 0, &large, &small, MAKELONG(0, 16));
  icons.large = ReadIconPixels(large);
  icons.small = ReadIconPixels(small);
  DestroyIcon(large);
  DestroyIcon(small);
  return icons;
}

Pixels ShellIcon(DWORD attribute, bool large) {
  SHFILEINFOW info{};
  HICON icon = nullptr;
  if (large) {
    SHGetFileInfoW(L"x.docx", attribute, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES);
    IImageList* list = nullptr;
    SHGetImageList(SHIL_JUMBO, __uuidof(IImageList), reinterpret_cast<void**>(&list));
    list->GetIcon(info.iIcon, ILD_NORMAL, &icon);
    list->Release();
  } else {
    SHGetFileInfoW(L"x.docx", attribute, &info, sizeof(info), SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES);
    icon = info.hIcon;
  }
  Pixels pixels = ReadIconPixels(icon);
  DestroyIcon(icon);
  return Faded(pixels);
}

// Windows Vista and 7 give the large folder from the stock folder icon's
// 256-pixel image, later versions from the jumbo image list. Wine reports
// Windows 7, and its stock answer names its generic file icon.
Pixels LargeFolderIcon() {
  if (!IsWindowsVistaOrGreater() || IsWindows8OrGreater()) return ShellIcon(FILE_ATTRIBUTE_DIRECTORY, true);
  SHSTOCKICONINFO stock{};
  stock.cbSize = sizeof(stock);
  SHGetStockIconInfo(SIID_FOLDER, SHGSI_ICONLOCATION, &stock);
  HMODULE module = LoadLibraryExW(stock.szPath, nullptr, LOAD_LIBRARY_AS_DATAFILE);
  HICON icon = static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(-stock.iIcon), IMAGE_ICON, 256, 256, 0));
  Pixels pixels = ReadIconPixels(icon);
  DestroyIcon(icon);
  FreeLibrary(module);
  return Faded(pixels);
}

class ShellFileIconDll : public ::testing::Test {
 protected:
  // Synchronised folders in mode true and false, and a plain folder.
  void SetUp() override {
    for (const auto& [name, record] : {std::pair{L"modeOn", "d4:modei1ee"}, std::pair{L"modeOff", "d4:modei0ee"}}) {
      ASSERT_TRUE(CreateFolder(folder / name) && CreateFolder(folder / name + L"\\.sync"));
      ASSERT_TRUE(WriteBytes(folder / name + L"\\.sync\\ID", ""));
      ASSERT_TRUE(WriteBytes(folder / name + L"\\.sync\\ID:com.tamvera.Sync", record));
    }
    ASSERT_TRUE(CreateFolder(folder / L"plain"));
  }

  std::wstring Placeholder(const std::wstring& relative, const char* state) {
    const std::wstring path = folder / relative;
    EXPECT_TRUE(WriteBytes(path, ""));
    EXPECT_TRUE(!*state || WriteBytes(path + L":com.tamvera.Sync", state));
    return path;
  }

  DllUnderTest dll;
  TempFolder folder;
};

TEST_F(ShellFileIconDll, OneIdentityTwoInterfacesAndALocationThatIsNeverCached) {
  IconHandler handler(dll, L"");
  IUnknown* unknown = nullptr;
  ASSERT_EQ(handler.file->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(handler.extract));
  unknown->Release();
  void* other = &other;
  EXPECT_EQ(handler.extract->QueryInterface(IID_IPersist, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  CLSID classId{};
  EXPECT_EQ(handler.file->GetClassID(&classId), E_NOTIMPL);

  wchar_t buffer[8] = L"keep";
  int index = 42;
  UINT flags = 0;
  ASSERT_EQ(handler.extract->GetIconLocation(GIL_FORSHELL, buffer, 8, &index, &flags), S_OK);
  EXPECT_EQ(flags, static_cast<UINT>(GIL_NOTFILENAME | GIL_DONTCACHE));
  EXPECT_STREQ(buffer, L"keep");
  EXPECT_EQ(index, 42);
}

TEST_F(ShellFileIconDll, AnswersOnlyForPlaceholderPathsThatFit) {
  const std::wstring base = folder.Path() + L"\\";
  const std::wstring fits = base + std::wstring(259 - base.size() - 5, L'f') + L".tmvs";
  for (const std::wstring& path :
       {Placeholder(L"plain\\report.docx", "d10:kvx_statusi55ee"), folder / L"plain\\x.tmvsx", std::wstring(),
        base + std::wstring(300, L'g') + L".tmvs", base + std::wstring(40000, L'g') + L".tmvs",
        fits + L"\\cut-at-259-this-ends-in.tmvs"}) {
    IconHandler handler(dll, path);
    HICON large = HICON(7), small = HICON(7);
    EXPECT_EQ(handler.extract->Extract(path.c_str(), 0, &large, &small, MAKELONG(0, 16)), E_NOTIMPL) << path.size();
    EXPECT_TRUE(large == HICON(7) && small == HICON(7)) << "nothing written";
  }
  // A path of 259 characters that names nothing shows the 0 % mark.
  for (const std::wstring& path : {fits, Placeholder(L"plain\\REPORT.DOCX.TMVS", "")}) {
    const Icons icons = ExtractIcons(dll, path);
    EXPECT_EQ(icons.result, S_OK);
    EXPECT_EQ(icons.large.At(124, 53), ringColor);
  }
}

TEST_F(ShellFileIconDll, WithoutProgressOnlyModeTrueFoldersShowTheFadedIconWithoutMark) {
  const Icons inModeTrue = ExtractIcons(dll, Placeholder(L"modeOn\\report.docx.tmvs", "d8:kvx_typei1ee"));
  ASSERT_EQ(inModeTrue.result, S_OK);
  EXPECT_EQ(inModeTrue.large.argb, ShellIcon(FILE_ATTRIBUTE_NORMAL, true).argb);
  EXPECT_EQ(inModeTrue.small.argb, ShellIcon(FILE_ATTRIBUTE_NORMAL, false).argb);
  for (const wchar_t* place : {L"modeOff\\report.docx.tmvs", L"plain\\report.docx.tmvs"}) {
    const Icons icons = ExtractIcons(dll, Placeholder(place, ""));
    EXPECT_EQ(icons.large.At(124, 53), ringColor) << place;
    EXPECT_EQ(icons.large.Count(arcColor), 0u) << place;
    EXPECT_GT(icons.small.Count(ringColor), 0u) << place;
  }
}

TEST_F(ShellFileIconDll, TheArcFollowsTheRecordedProgress) {
  for (const auto& [record, right, left] : {std::tuple{"d10:kvx_statusi4ee", false, false},
                                            std::tuple{"d10:kvx_statusi57ee", true, false},
                                            std::tuple{"d10:kvx_statusi250ee", true, true}}) {
    const Icons icons = ExtractIcons(dll, Placeholder(L"modeOn\\photo.png.tmvs", record));
    EXPECT_EQ(icons.large.At(196, 124) == arcColor, right) << record;
    EXPECT_EQ(icons.large.At(53, 124) == arcColor, left) << record;
    EXPECT_EQ(icons.small.Count(arcColor) > 0, right) << record;
  }
}

TEST_F(ShellFileIconDll, FolderPlaceholdersShowTheFolderIcon) {
  const Pixels smallFolder = ShellIcon(FILE_ATTRIBUTE_DIRECTORY, false);
  ASSERT_NE(smallFolder.argb, ShellIcon(FILE_ATTRIBUTE_NORMAL, false).argb) << "the shell tells folders from files";
  const Icons icons = ExtractIcons(dll, Placeholder(L"modeOn\\Photos.tmvs", "d8:kvx_typei2ee"));
  ASSERT_EQ(icons.result, S_OK);
  EXPECT_EQ(icons.large.argb, LargeFolderIcon().argb);
  EXPECT_EQ(icons.small.argb, smallFolder.argb);
}

}  // namespace
