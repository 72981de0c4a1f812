#include "contextmenu/menubitmaps.h"

#include <gdiplus.h>

#include <memory>
#include <string>

#include "imaging/icontoargb.h"
#include "com/modulereference.h"
#include "util/uniquehandle.h"

namespace {

struct SlotSource {
  const wchar_t* fileName;
  WORD iconGroup;
};

constexpr std::array<SlotSource, MenuBitmaps::slotCount> slotSources{{
    {L"menu_sync.ico", MenuBitmaps::applicationIconGroup},
    {L"menu_remove.ico", 108},
    {L"menu_destroy.ico", 109},
    {L"menu_stop.ico", 107},
}};

}  // namespace

WORD MenuBitmaps::IconGroup(size_t slot) { return slot < slotCount ? slotSources[slot].iconGroup : 0; }

namespace {

// Empty while the module path is unknown: then only the resources count.
std::wstring ModuleFolder() {
  const size_t backslash = modulePath.find_last_of(L'\\');
  return backslash == std::wstring::npos ? modulePath : modulePath.substr(0, backslash);
}

UniqueIcon LoadSlotIcon(HMODULE module, const std::wstring& folder, const SlotSource& source, int width,
                        int height) {
  HANDLE icon = nullptr;
  if (!folder.empty()) {
    const std::wstring file = folder + L"\\" + source.fileName;
    // The files are seldom there, and asking costs a fraction of a load
    // that fails; one that is there is loaded as before.
    const DWORD attributes = GetFileAttributesW(file.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY))
      icon = LoadImageW(nullptr, file.c_str(), IMAGE_ICON, width, height, LR_LOADFROMFILE);
  }
  if (!icon)
    icon = LoadImageW(module, MAKEINTRESOURCEW(source.iconGroup), IMAGE_ICON, width, height, LR_DEFAULTCOLOR);
  return UniqueIcon(static_cast<HICON>(icon));
}

// The icon drawn scaled into a transparent image of exactly the given size.
HBITMAP BitmapOfIcon(HICON icon, int width, int height) {
  const std::unique_ptr<Gdiplus::Bitmap> image = IconToArgbImage(icon);
  if (!image) return nullptr;
  Gdiplus::Bitmap scaled(width, height, PixelFormat32bppARGB);
  if (scaled.GetLastStatus() != Gdiplus::Ok) return nullptr;
  {
    Gdiplus::Graphics graphics(&scaled);
    graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    graphics.DrawImage(image.get(), Gdiplus::Rect(0, 0, width, height));
  }
  HBITMAP bitmap = nullptr;
  if (scaled.GetHBITMAP(Gdiplus::Color(0, 0, 0, 0), &bitmap) != Gdiplus::Ok) return nullptr;
  return bitmap;
}

}  // namespace

MenuBitmaps::MenuBitmaps(int width, int height) : width(width), height(height) {
  if (width <= 0 || height <= 0) return;
  const HMODULE module = ModuleHandle();
  const std::wstring folder = ModuleFolder();
  for (size_t slot = 0; slot < slotCount; ++slot) {
    const UniqueIcon icon = LoadSlotIcon(module, folder, slotSources[slot], width, height);
    if (icon) bitmaps[slot].Reset(BitmapOfIcon(icon.Get(), width, height));
  }
}
