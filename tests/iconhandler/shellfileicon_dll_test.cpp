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

#include "support/iconpixels.h"
#include "iconhandler/overlaymath.h"
#include "support/dllundertest.h"
#include "support/menuharness.h"
#include "support/testfiles.h"

namespace {

// Both icons of one Extract call: large 256 (the jumbo image as it is),
// small 16.
struct Icons {
  HRESULT result = E_FAIL;
  bool written = false;
  Pixels largePixels, smallPixels;
};

Icons ExtractIcons(const DllUnderTest& dll, const std::wstring& path) {
  IPersistFile* file = nullptr;
  IExtractIconW* extract = nullptr;
  EXPECT_EQ(dll.CreateObject(TestClassId(1), IID_PPV_ARGS(&file)), S_OK);
  file->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(&extract));
  EXPECT_EQ(file->Load(path.c_str(), STGM_READ), S_OK);
  HICON large = HICON(7), small = HICON(7);
  Icons icons;
  icons.result = extract->Extract(path.c_str(), 0, &large, &small, MAKELONG(256, 16));
  extract->Release(), file->Release();
  if ((icons.written = large != HICON(7) || small != HICON(7))) {
    icons.largePixels = ReadIconPixels(large), icons.smallPixels = ReadIconPixels(small);
    DestroyIcon(large), DestroyIcon(small);
  }
  return icons;
}

// The icon's pixels as a placeholder shows them; the fading itself is
// checked pixel by pixel in iconhandler_tests.
Pixels Faded(HICON icon) {
  Pixels pixels = ReadIconPixels(icon);
  DestroyIcon(icon);
  FadePixelRows(reinterpret_cast<uint8_t*>(pixels.argb.data()), pixels.width * 4, pixels.width, pixels.height,
                placeholderFadeAmount);
  return pixels;
}

Pixels ShellIcon(DWORD attribute, bool large) {
  SHFILEINFOW info{};
  SHGetFileInfoW(L"x.docx", attribute, &info, sizeof(info),
                 SHGFI_USEFILEATTRIBUTES | (large ? SHGFI_SYSICONINDEX : SHGFI_ICON | SHGFI_SMALLICON));
  IImageList* list = nullptr;
  if (large && SUCCEEDED(SHGetImageList(SHIL_JUMBO, __uuidof(IImageList), reinterpret_cast<void**>(&list)))) {
    list->GetIcon(info.iIcon, ILD_NORMAL, &info.hIcon);
    list->Release();
  }
  return Faded(info.hIcon);
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
  const Pixels pixels =
      Faded(static_cast<HICON>(LoadImageW(module, MAKEINTRESOURCEW(-stock.iIcon), IMAGE_ICON, 256, 256, 0)));
  FreeLibrary(module);
  return pixels;
}

class ShellFileIconDll : public ::testing::Test {
 protected:
  // Synchronised folders in mode true and false, and a plain folder.
  void SetUp() override {
    MakeSyncRoot(folder / L"modeOn", "d4:modei1ee");
    MakeSyncRoot(folder / L"modeOff", "d4:modei0ee");
    ASSERT_TRUE(CreateFolder(folder / L"plain"));
  }

  std::wstring Placeholder(const std::wstring& relative, const char* state) {
    const std::wstring path = folder / relative;
    EXPECT_TRUE(WriteBytes(path, "") && (!*state || WriteBytes(path + L":com.tamvera.Sync", state)));
    return path;
  }

  DllUnderTest dll;
  TempFolder folder;
};

TEST_F(ShellFileIconDll, AnswersOnlyForPlaceholderPathsThatFit) {
  const std::wstring base = folder.Path() + L"\\";
  const std::wstring fits = base + std::wstring(259 - base.size() - 5, L'f') + L".tmvs";
  for (const std::wstring& path :
       {Placeholder(L"plain\\report.docx", "d10:kvx_statusi55ee"), folder / L"plain\\x.tmvsx", std::wstring(),
        base + std::wstring(300, L'g') + L".tmvs", base + std::wstring(40000, L'g') + L".tmvs",
        fits + L"\\cut-at-259-this-ends-in.tmvs"}) {
    const Icons icons = ExtractIcons(dll, path);
    EXPECT_EQ(icons.result, E_NOTIMPL) << path.size();
    EXPECT_FALSE(icons.written);
  }
  // A path of 259 characters that names nothing shows the 0 % mark.
  for (const std::wstring& path : {fits, Placeholder(L"plain\\REPORT.DOCX.TMVS", "")}) {
    const Icons icons = ExtractIcons(dll, path);
    EXPECT_EQ(icons.result, S_OK);
    EXPECT_EQ(icons.largePixels.At(124, 53), statusRingColor);
  }
}

TEST_F(ShellFileIconDll, FadedTypeIconWithTheMarkUnlessAModeTrueFolderHasNoProgress) {
  const Icons document = ExtractIcons(dll, Placeholder(L"modeOn\\report.docx.tmvs", "d8:kvx_typei1ee"));
  ASSERT_EQ(document.result, S_OK);
  EXPECT_EQ(document.largePixels.argb, ShellIcon(FILE_ATTRIBUTE_NORMAL, true).argb);
  EXPECT_EQ(document.smallPixels.argb, ShellIcon(FILE_ATTRIBUTE_NORMAL, false).argb);
  const Icons folderIcons = ExtractIcons(dll, Placeholder(L"modeOn\\Photos.tmvs", "d8:kvx_typei2ee"));
  EXPECT_EQ(folderIcons.largePixels.argb, LargeFolderIcon().argb);
  EXPECT_EQ(folderIcons.smallPixels.argb, ShellIcon(FILE_ATTRIBUTE_DIRECTORY, false).argb);
  EXPECT_NE(folderIcons.smallPixels.argb, document.smallPixels.argb) << "the shell tells folders from files";
  for (const wchar_t* place : {L"modeOff\\report.docx.tmvs", L"plain\\report.docx.tmvs"}) {
    const Icons icons = ExtractIcons(dll, Placeholder(place, ""));
    EXPECT_EQ(icons.largePixels.At(124, 53), statusRingColor) << place;
    EXPECT_EQ(icons.largePixels.Count(statusArcColor), 0u) << place;
    EXPECT_GT(icons.smallPixels.Count(statusRingColor), 0u) << place;
  }
}

}  // namespace
