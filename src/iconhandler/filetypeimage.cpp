#include "iconhandler/filetypeimage.h"

#include <commctrl.h>
#include <commoncontrols.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wrl/client.h>

#include "imaging/icontoargb.h"
#include "imaging/gdiresource.h"
#include "syncstate/placeholdernames.h"

namespace {

constexpr int jumboIconSide = 256;

bool IsAtLeastWindowsVersion(DWORD minor) {
  OSVERSIONINFOEXW version{};
  version.dwOSVersionInfoSize = sizeof(version);
  version.dwMajorVersion = 6;
  version.dwMinorVersion = minor;
  version.wServicePackMajor = 0;
  ULONGLONG condition = 0;
  condition = VerSetConditionMask(condition, VER_MAJORVERSION, VER_GREATER_EQUAL);
  condition = VerSetConditionMask(condition, VER_MINORVERSION, VER_GREATER_EQUAL);
  condition = VerSetConditionMask(condition, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
  return VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, condition) !=
         FALSE;
}

// The jumbo image list of Windows Vista and 7 holds the folder scaled up
// from 48 pixels; the stock folder resource has a real 256-pixel image.
bool IsWindowsVistaOr7() { return IsAtLeastWindowsVersion(0) && !IsAtLeastWindowsVersion(2); }

std::unique_ptr<Gdiplus::Bitmap> LoadStockFolderImage() {
  SHSTOCKICONINFO stock{};
  stock.cbSize = sizeof(stock);
  if (FAILED(SHGetStockIconInfo(SIID_FOLDER, SHGSI_ICONLOCATION, &stock)) || stock.iIcon >= 0) return nullptr;
  // Only the icon resource is wanted, so no code of the module runs.
  UniqueLibrary module(LoadLibraryExW(stock.szPath, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  if (!module) return nullptr;
  UniqueIcon icon(static_cast<HICON>(LoadImageW(module.Get(), MAKEINTRESOURCEW(-stock.iIcon), IMAGE_ICON,
                                                jumboIconSide, jumboIconSide, LR_DEFAULTCOLOR)));
  return IconToArgbImage(icon.Get());
}

std::unique_ptr<Gdiplus::Bitmap> LoadJumboImage(const std::wstring& name, DWORD attribute) {
  SHFILEINFOW info{};
  if (!SHGetFileInfoW(name.c_str(), attribute, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES))
    return nullptr;
  Microsoft::WRL::ComPtr<IImageList> imageList;
  if (FAILED(SHGetImageList(SHIL_JUMBO, __uuidof(IImageList), reinterpret_cast<void**>(imageList.GetAddressOf()))) ||
      !imageList)
    return nullptr;
  HICON raw = nullptr;
  if (FAILED(imageList->GetIcon(info.iIcon, ILD_NORMAL, &raw))) return nullptr;
  UniqueIcon icon(raw);
  return IconToArgbImage(icon.Get());
}

std::unique_ptr<Gdiplus::Bitmap> LoadSmallImage(const std::wstring& name, DWORD attribute) {
  SHFILEINFOW info{};
  if (!SHGetFileInfoW(name.c_str(), attribute, &info, sizeof(info),
                      SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES))
    return nullptr;
  UniqueIcon icon(info.hIcon);
  return IconToArgbImage(icon.Get());
}

}  // namespace

std::unique_ptr<Gdiplus::Bitmap> LoadFileTypeImage(const std::wstring& name, IconSizeClass sizeClass,
                                                   bool isFolder) {
  const DWORD attribute = isFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  const std::wstring queryName = ShellQueryName(name);
  if (sizeClass == IconSizeClass::Small) return LoadSmallImage(queryName, attribute);
  if (isFolder && IsWindowsVistaOr7()) {
    if (auto image = LoadStockFolderImage()) return image;
  }
  return LoadJumboImage(queryName, attribute);
}
