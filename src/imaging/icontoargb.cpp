#include "imaging/icontoargb.h"

#include <cstdint>
#include <cstring>
#include <vector>

#include "imaging/gdiresource.h"

namespace {

std::unique_ptr<Gdiplus::Bitmap> NewArgbImage(UINT width, UINT height) {
  std::unique_ptr<Gdiplus::Bitmap> image(
      new Gdiplus::Bitmap(static_cast<INT>(width), static_cast<INT>(height), PixelFormat32bppARGB));
  if (!image || image->GetLastStatus() != Gdiplus::Ok) return nullptr;
  return image;
}

// A 32-bit colour bitmap carries the icon's alpha in its fourth byte: the
// pixels are taken as ARGB as they are.
std::unique_ptr<Gdiplus::Bitmap> ImageFromArgbBitmap(HBITMAP color) {
  std::unique_ptr<Gdiplus::Bitmap> source(Gdiplus::Bitmap::FromHBITMAP(color, nullptr));
  if (!source || source->GetLastStatus() != Gdiplus::Ok) return nullptr;
  const UINT width = source->GetWidth();
  const UINT height = source->GetHeight();
  if (width == 0 || height == 0) return nullptr;
  LockedBits sourceBits(*source, Gdiplus::ImageLockModeRead, source->GetPixelFormat());
  if (!sourceBits.Locked() || Gdiplus::GetPixelFormatSize(sourceBits.Data().PixelFormat) != 32) return nullptr;

  auto image = NewArgbImage(width, height);
  if (!image) return nullptr;
  LockedBits targetBits(*image, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB);
  if (!targetBits.Locked()) return nullptr;
  const size_t rowBytes = static_cast<size_t>(width) * 4;
  for (UINT row = 0; row < height; ++row) std::memcpy(targetBits.Row(row), sourceBits.Row(row), rowBytes);
  return image;
}

// Rows of the bitmap as 32-bit top-down pixels through GDI, which converts
// any depth; empty when GDI cannot read it.
std::vector<uint32_t> ReadPixels(HDC dc, HBITMAP bitmap, LONG width, LONG height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  if (GetDIBits(dc, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info, DIB_RGB_COLORS) != height)
    pixels.clear();
  return pixels;
}

// Icons without an alpha channel (colour bitmaps of fewer bits, or the
// monochrome kind whose mask holds both halves) take alpha from the mask:
// where it is set, the pixel is transparent.
std::unique_ptr<Gdiplus::Bitmap> ImageFromMaskedBitmap(HBITMAP color, HBITMAP mask) {
  BITMAP maskInfo{};
  if (!mask || GetObjectW(mask, sizeof(maskInfo), &maskInfo) != sizeof(maskInfo)) return nullptr;
  const LONG width = maskInfo.bmWidth;
  const LONG height = color ? maskInfo.bmHeight : maskInfo.bmHeight / 2;
  if (width <= 0 || height <= 0) return nullptr;

  ScreenDc screen;
  if (!screen) return nullptr;
  const std::vector<uint32_t> maskPixels = ReadPixels(screen.Get(), mask, width, maskInfo.bmHeight);
  if (maskPixels.empty()) return nullptr;
  std::vector<uint32_t> colorPixels;
  const uint32_t* colors = nullptr;
  const size_t pixelCount = static_cast<size_t>(width) * static_cast<size_t>(height);
  if (color) {
    colorPixels = ReadPixels(screen.Get(), color, width, height);
    if (colorPixels.empty()) return nullptr;
    colors = colorPixels.data();
  } else {
    colors = maskPixels.data() + pixelCount;  // the lower half
  }

  auto image = NewArgbImage(static_cast<UINT>(width), static_cast<UINT>(height));
  if (!image) return nullptr;
  LockedBits targetBits(*image, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB);
  if (!targetBits.Locked()) return nullptr;
  for (LONG row = 0; row < height; ++row) {
    auto* target = reinterpret_cast<uint32_t*>(targetBits.Row(static_cast<UINT>(row)));
    for (LONG column = 0; column < width; ++column) {
      const size_t index = static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(column);
      const bool transparent = (maskPixels[index] & 0x00FFFFFF) != 0;
      target[column] = transparent ? 0 : (colors[index] & 0x00FFFFFF) | 0xFF000000;
    }
  }
  return image;
}

}  // namespace

std::unique_ptr<Gdiplus::Bitmap> IconToArgbImage(HICON icon) {
  const IconBitmaps bitmaps = GetIconBitmaps(icon);
  if (!bitmaps.valid) return nullptr;
  BITMAP colorInfo{};
  if (bitmaps.color && GetObjectW(bitmaps.color.Get(), sizeof(colorInfo), &colorInfo) == sizeof(colorInfo) &&
      colorInfo.bmBitsPixel == 32)
    return ImageFromArgbBitmap(bitmaps.color.Get());
  return ImageFromMaskedBitmap(bitmaps.color.Get(), bitmaps.mask.Get());
}
