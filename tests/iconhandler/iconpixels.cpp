#include "iconhandler/iconpixels.h"

#include <algorithm>

namespace {

std::vector<uint32_t> ReadBitmap(HBITMAP bitmap, int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
  HDC screen = GetDC(nullptr);
  const int rows = GetDIBits(screen, bitmap, 0, height, pixels.data(), &info, DIB_RGB_COLORS);
  ReleaseDC(nullptr, screen);
  if (rows != height) pixels.clear();
  return pixels;
}

}  // namespace

size_t Pixels::Count(uint32_t value, int left, int top, int right, int bottom) const {
  size_t count = 0;
  for (int y = std::max(top, 0); y < std::min(bottom, height); ++y)
    for (int x = std::max(left, 0); x < std::min(right, width); ++x) count += At(x, y) == value;
  return count;
}

RECT Pixels::BoundsOf(uint32_t value) const {
  RECT bounds{-1, -1, -1, -1};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (At(x, y) != value) continue;
      if (bounds.left < 0) bounds = {x, y, x, y};
      bounds.left = std::min<LONG>(bounds.left, x);
      bounds.right = std::max<LONG>(bounds.right, x);
      bounds.top = std::min<LONG>(bounds.top, y);
      bounds.bottom = std::max<LONG>(bounds.bottom, y);
    }
  }
  return bounds;
}

Pixels ReadIconPixels(HICON icon) {
  Pixels pixels;
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return pixels;
  BITMAP bitmap{};
  if (info.hbmColor && GetObjectW(info.hbmColor, sizeof(bitmap), &bitmap)) {
    pixels.width = bitmap.bmWidth;
    pixels.height = bitmap.bmHeight;
    pixels.argb = ReadBitmap(info.hbmColor, bitmap.bmWidth, bitmap.bmHeight);
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return pixels;
}

std::vector<bool> ReadIconMask(HICON icon) {
  std::vector<bool> mask;
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return mask;
  BITMAP bitmap{};
  if (info.hbmMask && GetObjectW(info.hbmMask, sizeof(bitmap), &bitmap)) {
    for (uint32_t pixel : ReadBitmap(info.hbmMask, bitmap.bmWidth, bitmap.bmHeight))
      mask.push_back((pixel & 0x00FFFFFF) != 0);
  }
  if (info.hbmColor) DeleteObject(info.hbmColor);
  if (info.hbmMask) DeleteObject(info.hbmMask);
  return mask;
}

Pixels ReadImagePixels(Gdiplus::Bitmap& image) {
  Pixels pixels;
  pixels.width = static_cast<int>(image.GetWidth());
  pixels.height = static_cast<int>(image.GetHeight());
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

HICON MakeArgbIcon(int width, int height, const std::vector<uint32_t>& argb) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP color = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  if (!color) return nullptr;
  std::copy(argb.begin(), argb.end(), static_cast<uint32_t*>(bits));
  std::vector<BYTE> maskBits(static_cast<size_t>((width + 15) / 16) * 2 * height, 0);
  HBITMAP mask = CreateBitmap(width, height, 1, 1, maskBits.data());
  ICONINFO icon{TRUE, 0, 0, mask, color};
  HICON result = CreateIconIndirect(&icon);
  DeleteObject(mask);
  DeleteObject(color);
  return result;
}

Pixels Faded(Pixels pixels) {
  for (uint32_t& pixel : pixels.argb) {
    uint32_t faded = pixel & 0xFF000000;
    for (int shift = 0; shift < 24; shift += 8) {
      const uint32_t channel = (pixel >> shift) & 0xFF;
      faded |= static_cast<uint32_t>(channel * 0.25f + 191.25f) << shift;
    }
    pixel = faded;
  }
  return pixels;
}

GdiplusSession::GdiplusSession() {
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
}

GdiplusSession::~GdiplusSession() { Gdiplus::GdiplusShutdown(token); }
