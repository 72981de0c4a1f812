#include "iconhandler/iconpixels.h"

#include <algorithm>

namespace {

BITMAPINFO TopDown32(int width, int height) {
  BITMAPINFO info{};
  info.bmiHeader = {sizeof(info.bmiHeader), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
  return info;
}

Pixels ReadBitmap(HBITMAP bitmap) {
  Pixels pixels;
  BITMAP shape{};
  if (!bitmap || !GetObjectW(bitmap, sizeof(shape), &shape)) return pixels;
  BITMAPINFO info = TopDown32(shape.bmWidth, shape.bmHeight);
  pixels.argb.resize(static_cast<size_t>(shape.bmWidth) * shape.bmHeight);
  HDC screen = GetDC(nullptr);
  if (GetDIBits(screen, bitmap, 0, shape.bmHeight, pixels.argb.data(), &info, DIB_RGB_COLORS) == shape.bmHeight) {
    pixels.width = shape.bmWidth;
    pixels.height = shape.bmHeight;
  } else {
    pixels.argb.clear();
  }
  ReleaseDC(nullptr, screen);
  return pixels;
}

Pixels ReadIconPart(HICON icon, bool mask) {
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return {};
  Pixels pixels = ReadBitmap(mask ? info.hbmMask : info.hbmColor);
  DeleteObject(info.hbmColor);
  DeleteObject(info.hbmMask);
  return pixels;
}

}  // namespace

size_t Pixels::Count(uint32_t value, int left, int right) const {
  size_t count = 0;
  for (int y = 0; y < height; ++y)
    for (int x = std::max(left, 0); x < std::min(right, width); ++x) count += At(x, y) == value;
  return count;
}

RECT Pixels::BoundsOf(uint32_t value) const {
  RECT bounds{-1, -1, -1, -1};
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (At(x, y) != value) continue;
      if (bounds.left < 0) bounds = {x, y, x, y};
      bounds = {std::min<LONG>(bounds.left, x), bounds.top, std::max<LONG>(bounds.right, x), y};
    }
  }
  return bounds;
}

Pixels ReadIconPixels(HICON icon) { return ReadIconPart(icon, false); }

std::vector<bool> ReadIconMask(HICON icon) {
  std::vector<bool> mask;
  for (uint32_t pixel : ReadIconPart(icon, true).argb) mask.push_back((pixel & 0x00FFFFFF) != 0);
  return mask;
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

HICON MakeArgbIcon(int width, int height, const std::vector<uint32_t>& argb) {
  BITMAPINFO info = TopDown32(width, height);
  void* bits = nullptr;
  HBITMAP color = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
  std::copy(argb.begin(), argb.end(), static_cast<uint32_t*>(bits));
  const std::vector<BYTE> opaque(static_cast<size_t>((width + 15) / 16) * 2 * height, 0);
  HBITMAP mask = CreateBitmap(width, height, 1, 1, opaque.data());
  ICONINFO icon{TRUE, 0, 0, mask, color};
  HICON result = CreateIconIndirect(&icon);
  DeleteObject(mask);
  DeleteObject(color);
  return result;
}

Pixels Faded(Pixels pixels) {
  for (uint32_t& pixel : pixels.argb) {
    uint32_t faded = pixel & 0xFF000000;
    for (int shift = 0; shift < 24; shift += 8)
      faded |= static_cast<uint32_t>(((pixel >> shift) & 0xFF) * 0.25f + 191.25f) << shift;
    pixel = faded;
  }
  return pixels;
}

GdiplusSession::GdiplusSession() {
  Gdiplus::GdiplusStartupInput input;
  Gdiplus::GdiplusStartup(&token, &input, nullptr);
}

GdiplusSession::~GdiplusSession() { Gdiplus::GdiplusShutdown(token); }
