#pragma once
// Icons and GDI+ images read back as plain ARGB pixels through GDI, so that
// the tests check the product's pixels with code of their own.
#include <windows.h>
#include <gdiplus.h>

#include <cstdint>
#include <vector>

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;  // top-down rows, 0xAARRGGBB

  uint32_t At(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
  // Pixels of exactly this value with left <= x < right.
  size_t Count(uint32_t value, int left = 0, int right = 1 << 30) const;
  // Smallest box (inclusive) holding the value; all -1 when absent.
  RECT BoundsOf(uint32_t value) const;
};

Pixels ReadIconPixels(HICON icon);
// True where the icon's mask marks the pixel transparent.
std::vector<bool> ReadIconMask(HICON icon);
Pixels ReadImagePixels(Gdiplus::Bitmap& image);
// A 32-bit icon of top-down ARGB pixels with an all-opaque mask.
HICON MakeArgbIcon(int width, int height, const std::vector<uint32_t>& argb);
// Each colour byte moved toward white as a placeholder icon shows it.
Pixels Faded(Pixels pixels);

class GdiplusSession {
 public:
  GdiplusSession();
  ~GdiplusSession();

 private:
  ULONG_PTR token = 0;
};
