#include "imaging/argbpixels.h"

#include <cstring>

#include "imaging/gdiresource.h"

std::shared_ptr<ArgbPixels> ReadArgbPixels(Gdiplus::Bitmap& image) {
  LockedBits bits(image, Gdiplus::ImageLockModeRead, PixelFormat32bppARGB);
  if (!bits.Locked() || bits.Data().Width == 0 || bits.Data().Height == 0) return nullptr;
  auto pixels = std::make_shared<ArgbPixels>();
  pixels->width = bits.Data().Width;
  pixels->height = bits.Data().Height;
  pixels->argb.resize(static_cast<size_t>(pixels->width) * pixels->height);
  const size_t rowBytes = static_cast<size_t>(pixels->width) * 4;
  for (UINT row = 0; row < pixels->height; ++row)
    std::memcpy(pixels->argb.data() + static_cast<size_t>(row) * pixels->width, bits.Row(row), rowBytes);
  return pixels;
}

std::unique_ptr<Gdiplus::Bitmap> NewImageOfPixels(const ArgbPixels& pixels) {
  if (pixels.width == 0 || pixels.height == 0) return nullptr;
  std::unique_ptr<Gdiplus::Bitmap> image(
      new Gdiplus::Bitmap(static_cast<INT>(pixels.width), static_cast<INT>(pixels.height), PixelFormat32bppARGB));
  if (!image || image->GetLastStatus() != Gdiplus::Ok) return nullptr;
  {
    LockedBits bits(*image, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB);
    if (!bits.Locked()) return nullptr;
    const size_t rowBytes = static_cast<size_t>(pixels.width) * 4;
    for (UINT row = 0; row < pixels.height; ++row)
      std::memcpy(bits.Row(row), pixels.argb.data() + static_cast<size_t>(row) * pixels.width, rowBytes);
  }
  return image;
}

std::unique_ptr<Gdiplus::Bitmap> ScaleArgbImage(Gdiplus::Bitmap& image, UINT width, UINT height) {
  std::unique_ptr<Gdiplus::Bitmap> scaled(
      new Gdiplus::Bitmap(static_cast<INT>(width), static_cast<INT>(height), PixelFormat32bppARGB));
  if (!scaled || scaled->GetLastStatus() != Gdiplus::Ok) return nullptr;
  Gdiplus::Graphics graphics(scaled.get());
  graphics.SetCompositingMode(Gdiplus::CompositingModeSourceCopy);
  graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
  graphics.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHighQuality);
  // Mirrored edges keep the border pixels from blending with transparent
  // black outside the image.
  Gdiplus::ImageAttributes attributes;
  attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
  const Gdiplus::Status status = graphics.DrawImage(
      &image, Gdiplus::Rect(0, 0, static_cast<INT>(width), static_cast<INT>(height)), 0, 0,
      static_cast<INT>(image.GetWidth()), static_cast<INT>(image.GetHeight()), Gdiplus::UnitPixel, &attributes);
  if (status != Gdiplus::Ok) return nullptr;
  return scaled;
}
