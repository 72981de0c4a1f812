#include "support/iconpixels.h"

#include <string>

#include <algorithm>

Pixels ReadBitmapPixels(HBITMAP bitmap) {
  Pixels pixels;
  BITMAP shape{};
  if (!bitmap || !GetObjectW(bitmap, sizeof(shape), &shape)) return pixels;
  BITMAPINFO top{};
  top.bmiHeader = {sizeof(top.bmiHeader), shape.bmWidth, -shape.bmHeight, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  pixels.argb.resize(static_cast<size_t>(shape.bmWidth) * shape.bmHeight);
  HDC screen = GetDC(nullptr);
  if (GetDIBits(screen, bitmap, 0, shape.bmHeight, pixels.argb.data(), &top, DIB_RGB_COLORS) == shape.bmHeight)
    pixels.width = shape.bmWidth, pixels.height = shape.bmHeight;
  else
    pixels.argb.clear();
  ReleaseDC(nullptr, screen);
  return pixels;
}

Pixels ReadIconPixels(HICON icon) {
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return {};
  Pixels pixels = ReadBitmapPixels(info.hbmColor);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return pixels;
}

std::string SolidIconFile(uint32_t argb) {
  constexpr BYTE side = 16;
  std::string file;
  const auto put = [&](auto value) { file.append(reinterpret_cast<const char*>(&value), sizeof value); };
  put(WORD{0}), put(WORD{1}), put(WORD{1});  // an icon directory of one image
  put(BYTE{side}), put(BYTE{side}), put(BYTE{0}), put(BYTE{0}), put(WORD{1}), put(WORD{32});
  put(DWORD{40 + side * side * 4 + side * 4}), put(DWORD{22});
  // Colour and mask stacked, hence the double height; the mask shows every pixel.
  put(BITMAPINFOHEADER{sizeof(BITMAPINFOHEADER), side, side * 2, 1, 32, BI_RGB, 0, 0, 0, 0, 0});
  for (int i = 0; i < side * side; ++i) put(argb);
  file.append(side * 4, '\0');
  return file;
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
