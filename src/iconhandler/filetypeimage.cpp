#include "iconhandler/filetypeimage.h"

#include <commctrl.h>
#include <commoncontrols.h>
#include <shellapi.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <cstdint>

#include "imaging/argbpixels.h"
#include "imaging/gdiresource.h"
#include "imaging/icontoargb.h"
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
  return VerifyVersionInfoW(&version, VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR, condition) != FALSE;
}

// The jumbo image list of Windows Vista and 7 holds the folder scaled up
// from 48 pixels; the stock folder resource has a real 256-pixel image.
bool IsWindowsVistaOr7() { return IsAtLeastWindowsVersion(0) && !IsAtLeastWindowsVersion(2); }

std::unique_ptr<Gdiplus::Bitmap> LoadStockFolderImage() {
  SHSTOCKICONINFO stock{};
  stock.cbSize = sizeof(stock);
  if (FAILED(SHGetStockIconInfo(SIID_FOLDER, SHGSI_ICONLOCATION, &stock)) || stock.iIcon >= 0) return nullptr;
  // Only the icon resource is wanted, so no code of the module runs.
  UniqueLibrary module(
      LoadLibraryExW(stock.szPath, nullptr, LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE));
  if (!module) return nullptr;
  UniqueIcon icon(static_cast<HICON>(LoadImageW(module.Get(), MAKEINTRESOURCEW(-stock.iIcon), IMAGE_ICON, jumboIconSide,
                                                jumboIconSide, LR_DEFAULTCOLOR)));
  return IconToArgbImage(icon.Get());
}

// The shell's image lists from the smallest up; their sides depend on the
// display's scale.
constexpr int imageListsBySize[] = {SHIL_SMALL, SHIL_LARGE, SHIL_EXTRALARGE, SHIL_JUMBO};

struct ShellImageList {
  Microsoft::WRL::ComPtr<IImageList> list;
  int id = 0;
  int side = 0;
};

ShellImageList QueryImageList(int id) {
  ShellImageList found;
  found.id = id;
  int width = 0;
  int height = 0;
  if (FAILED(SHGetImageList(id, __uuidof(IImageList), reinterpret_cast<void**>(found.list.GetAddressOf()))) ||
      !found.list || FAILED(found.list->GetIconSize(&width, &height)) || width <= 0) {
    found.list.Reset();
    return found;
  }
  found.side = width;
  return found;
}

std::unique_ptr<Gdiplus::Bitmap> ImageFromList(const ShellImageList& list, int index) {
  if (!list.list) return nullptr;
  HICON raw = nullptr;
  if (FAILED(list.list->GetIcon(index, ILD_NORMAL, &raw))) return nullptr;
  UniqueIcon icon(raw);
  return icon ? IconToArgbImage(icon.Get()) : nullptr;
}

// Windows fills the jumbo image of a type without large art with a smaller
// icon in the top-left corner.
bool OnlyInTopLeftCorner(Gdiplus::Bitmap& image, int corner) {
  LockedBits bits(image, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB);
  if (!bits.Locked()) return false;
  const Gdiplus::BitmapData& data = bits.Data();
  if (data.Width <= static_cast<UINT>(corner) && data.Height <= static_cast<UINT>(corner)) return false;
  for (UINT row = 0; row < data.Height; ++row) {
    const auto* pixel = reinterpret_cast<const uint32_t*>(bits.Row(row));
    for (UINT column = 0; column < data.Width; ++column) {
      if ((pixel[column] >> 24) != 0 && (row >= static_cast<UINT>(corner) || column >= static_cast<UINT>(corner)))
        return false;
    }
  }
  return true;
}

}  // namespace

std::unique_ptr<Gdiplus::Bitmap> LoadFileTypeImage(const std::wstring& name, UINT side, bool isFolder) {
  const DWORD attribute = isFolder ? FILE_ATTRIBUTE_DIRECTORY : FILE_ATTRIBUTE_NORMAL;
  const std::wstring queryName = ShellQueryName(name);
  SHFILEINFOW info{};
  if (!SHGetFileInfoW(queryName.c_str(), attribute, &info, sizeof(info), SHGFI_SYSICONINDEX | SHGFI_USEFILEATTRIBUTES))
    return nullptr;

  // The smallest list at or above the side, else the largest one there is;
  // the one below it stands in for a jumbo image that is only a corner.
  ShellImageList chosen;
  ShellImageList below;
  for (const int id : imageListsBySize) {
    ShellImageList list = QueryImageList(id);
    if (!list.list) continue;
    if (chosen.list) below = std::move(chosen);
    chosen = std::move(list);
    if (chosen.side >= static_cast<int>(side)) break;
  }
  if (!chosen.list) return nullptr;

  std::unique_ptr<Gdiplus::Bitmap> image;
  const bool jumbo = chosen.id == SHIL_JUMBO;
  if (jumbo && isFolder && IsWindowsVistaOr7()) image = LoadStockFolderImage();
  if (!image) {
    image = ImageFromList(chosen, info.iIcon);
    if (image && jumbo && below.list && OnlyInTopLeftCorner(*image, below.side))
      image = ImageFromList(below, info.iIcon);
  }
  if (!image || (image->GetWidth() == side && image->GetHeight() == side)) return image;
  return ScaleArgbImage(*image, side, side);
}
