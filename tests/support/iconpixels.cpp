#include "support/iconpixels.h"

#include <algorithm>

Pixels ReadIconPixels(HICON icon) {
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return {};
  Pixels pixels;
  BITMAP shape{};
  if (info.hbmColor && GetObjectW(info.hbmColor, sizeof(shape), &shape)) {
    BITMAPINFO top{};
    top.bmiHeader = {sizeof(top.bmiHeader), shape.bmWidth, -shape.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    pixels.argb.resize(static_cast<size_t>(shape.bmWidth) * shape.bmHeight);
    HDC screen = GetDC(nullptr);
    if (GetDIBits(screen, info.hbmColor, 0, shape.bmHeight, pixels.argb.data(), &top, DIB_RGB_COLORS) == shape.bmHeight)
      pixels.width = shape.bmWidth, pixels.height = shape.bmHeight;
    else
      pixels.argb.clear();
    ReleaseDC(nullptr, screen);
  }
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return pixels;
}

size_t Pixels::Count(uint32_t value, int left, int right) const {
  size_t count = 0;
  for (int y = 0; y < height; ++y)
    for (int x = std::max(left, 0); x < std::min(right, width); ++x) count += At(x, y) == value;
  return count;
}

Pixels ReadImagePixels(Gdiplus::Bitmap& image) {
  Pixels pixels{static_cast<int>(image.GetWidth()), static_cast<int>(image.GetHeight()), {}};
  Gdiplus::Rect area(0, 0, pixels.width, pixels.height);
  Gdiplus::BitmapData data{};
  if (image.LockBits(&area, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB, &data) != Gdiplus::Ok) return {};
  for (int y = 0; y < pixels.height; ++y) {
    const auto* row = reinterpret_cast<const uint32_t*>(static_cast<const BYTE*>(data.Scan0) + y * data.Stride);
    pixels.argb.insert(pixels.argb.end(), row, row + pixels.width);
  }
  image.UnlockBits(&data);
  return pixels;
}
