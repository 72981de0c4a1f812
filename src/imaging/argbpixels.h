#pragma once
// Plain 32-bit pixels that outlive any GDI+ object: a Gdiplus::Bitmap may not
// be used from two threads at once, so images shared between threads are
// kept as these and every user makes its own bitmap from them.
#include <windows.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>
#include <vector>

struct ArgbPixels {
  UINT width = 0;
  UINT height = 0;
  std::vector<uint32_t> argb;  // top-down rows of straight 0xAARRGGBB
};

// The image's pixels as 32-bit ARGB; null when it cannot be read.
std::shared_ptr<ArgbPixels> ReadArgbPixels(Gdiplus::Bitmap& image);

// A bitmap of its own holding a copy of the pixels; null when GDI+ cannot
// make one.
std::unique_ptr<Gdiplus::Bitmap> NewImageOfPixels(const ArgbPixels& pixels);

// The image drawn at width x height with high-quality bicubic interpolation;
// null when GDI+ cannot do so.
std::unique_ptr<Gdiplus::Bitmap> ScaleArgbImage(Gdiplus::Bitmap& image, UINT width, UINT height);
