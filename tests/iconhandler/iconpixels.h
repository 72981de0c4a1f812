#pragma once
// Reads icons and GDI+ images back as plain ARGB pixels, through GDI only,
// so that the tests check the product's pixels with code of their own.
#include <windows.h>
#include <gdiplus.h>

#include <cstdint>
#include <vector>

struct Pixels {
  int width = 0;
  int height = 0;
  std::vector<uint32_t> argb;  // top-down rows, 0xAARRGGBB

  bool Empty() const { return argb.empty(); }
  uint32_t At(int x, int y) const { return argb[static_cast<size_t>(y) * width + x]; }
  // Pixels of exactly this value inside [left, right) x [top, bottom).
  size_t Count(uint32_t value, int left, int top, int right, int bottom) const;
  size_t Count(uint32_t value) const { return Count(value, 0, 0, width, height); }
  // Smallest box (left, top, right, bottom inclusive) holding the value;
  // all -1 when absent.
  RECT BoundsOf(uint32_t value) const;
};

// The icon's colour bitmap as 32-bit pixels.
Pixels ReadIconPixels(HICON icon);
// The icon's AND mask: true where the mask marks a pixel transparent.
std::vector<bool> ReadIconMask(HICON icon);
// The image's pixels as 32-bit ARGB.
Pixels ReadImagePixels(Gdiplus::Bitmap& image);
// A 32-bit icon of the given top-down ARGB pixels with an all-opaque mask.
HICON MakeArgbIcon(int width, int height, const std::vector<uint32_t>& argb);
// Each colour byte moved toward white as a placeholder icon does.
Pixels Faded(Pixels pixels);

// GDI+ for the life of a test program.
class GdiplusSession {
 public:
  GdiplusSession();
  ~GdiplusSession();

 private:
  ULONG_PTR token = 0;
};
