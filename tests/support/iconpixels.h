#pragma once
// Icons and GDI+ images read back as plain ARGB pixels through GDI, so that
// the tests check the product's pixels with code of their own.
#include <windows.h>
#include <gdiplus.h>

#include <cstdint>
#include <string>
#include <vector>

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;  // top-down rows, 0xAARRGGBB

  uint32_t At(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
  // Pixels of exactly this value with left <= x < right.
  size_t Count(uint32_t value, int left = 0, int right = 1 << 30) const;
};

Pixels ReadIconPixels(HICON icon);
Pixels ReadBitmapPixels(HBITMAP bitmap);

// A 16-pixel icon file of one opaque colour (0xAARRGGBB).
std::string SolidIconFile(uint32_t argb);
Pixels ReadImagePixels(Gdiplus::Bitmap& image);

class GdiplusSession {
 public:
  GdiplusSession() { Gdiplus::GdiplusStartup(&token, &input, nullptr); }
  ~GdiplusSession() { Gdiplus::GdiplusShutdown(token); }

 private:
  Gdiplus::GdiplusStartupInput input;
  ULONG_PTR token = 0;
};
