#include "pngimage.h"

#include <cstdint>
#include <vector>

namespace {

struct BitmapDeleter {
  void operator()(HBITMAP bitmap) const { DeleteObject(bitmap); }
};
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, BitmapDeleter>;

std::vector<uint32_t> ReadRows(HBITMAP bitmap, LONG width, LONG height) {
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = width;
  info.bmiHeader.biHeight = -height;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 32;
  info.bmiHeader.biCompression = BI_RGB;
  std::vector<uint32_t> pixels(static_cast<size_t>(width) * static_cast<size_t>(height));
  HDC screen = GetDC(nullptr);
  const int rows = screen ? GetDIBits(screen, bitmap, 0, static_cast<UINT>(height), pixels.data(), &info,
                                      DIB_RGB_COLORS)
                          : 0;
  if (screen) ReleaseDC(nullptr, screen);
  if (rows != height) pixels.clear();
  return pixels;
}

bool FindPngEncoder(CLSID& encoder) {
  UINT count = 0, bytes = 0;
  if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || bytes == 0) return false;
  std::vector<BYTE> buffer(bytes);
  auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
  if (Gdiplus::GetImageEncoders(count, bytes, codecs) != Gdiplus::Ok) return false;
  for (UINT index = 0; index < count; ++index) {
    if (std::wstring(codecs[index].MimeType) == L"image/png") {
      encoder = codecs[index].Clsid;
      return true;
    }
  }
  return false;
}

}  // namespace

std::unique_ptr<Gdiplus::Bitmap> IconImage(HICON icon) {
  ICONINFO info{};
  if (!icon || !GetIconInfo(icon, &info)) return nullptr;
  const UniqueBitmap color(info.hbmColor), mask(info.hbmMask);
  BITMAP shape{};
  if (!color || !GetObjectW(color.get(), sizeof(shape), &shape) || shape.bmWidth <= 0 || shape.bmHeight <= 0)
    return nullptr;
  std::vector<uint32_t> pixels = ReadRows(color.get(), shape.bmWidth, shape.bmHeight);
  if (pixels.empty()) return nullptr;

  bool hasAlpha = false;
  for (uint32_t pixel : pixels) hasAlpha = hasAlpha || (pixel >> 24) != 0;
  if (!hasAlpha) {
    const std::vector<uint32_t> maskPixels = ReadRows(mask.get(), shape.bmWidth, shape.bmHeight);
    for (size_t index = 0; index < pixels.size(); ++index) {
      const bool transparent = !maskPixels.empty() && (maskPixels[index] & 0x00FFFFFF) != 0;
      pixels[index] = transparent ? 0 : pixels[index] | 0xFF000000;
    }
  }

  std::unique_ptr<Gdiplus::Bitmap> image(new Gdiplus::Bitmap(shape.bmWidth, shape.bmHeight, PixelFormat32bppARGB));
  if (!image || image->GetLastStatus() != Gdiplus::Ok) return nullptr;
  Gdiplus::Rect area(0, 0, shape.bmWidth, shape.bmHeight);
  Gdiplus::BitmapData data{};
  if (image->LockBits(&area, Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB, &data) != Gdiplus::Ok) return nullptr;
  for (LONG row = 0; row < shape.bmHeight; ++row) {
    auto* target = reinterpret_cast<uint32_t*>(static_cast<BYTE*>(data.Scan0) + row * data.Stride);
    const uint32_t* source = pixels.data() + static_cast<size_t>(row) * static_cast<size_t>(shape.bmWidth);
    std::copy(source, source + shape.bmWidth, target);
  }
  image->UnlockBits(&data);
  return image;
}

bool SavePng(Gdiplus::Image& image, const std::wstring& path) {
  CLSID encoder{};
  return FindPngEncoder(encoder) && image.Save(path.c_str(), &encoder, nullptr) == Gdiplus::Ok;
}
