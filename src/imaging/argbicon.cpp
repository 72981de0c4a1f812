#include "imaging/argbicon.h"

#include <cstring>
#include <vector>

namespace {

BITMAPV5HEADER ArgbBitmapHeader(LONG width, LONG height) {
  BITMAPV5HEADER header{};
  header.bV5Size = sizeof(header);
  header.bV5Width = width;
  header.bV5Height = height;  // positive: rows bottom-up
  header.bV5Planes = 1;
  header.bV5BitCount = 32;
  header.bV5Compression = BI_BITFIELDS;
  header.bV5RedMask = 0x00FF0000;
  header.bV5GreenMask = 0x0000FF00;
  header.bV5BlueMask = 0x000000FF;
  header.bV5AlphaMask = 0xFF000000;
  return header;
}

// Monochrome rows are padded to 16 bits for CreateBitmap.
size_t MaskStride(UINT width) { return ((width + 15) / 16) * 2; }

}  // namespace

UniqueIcon ArgbImageToIcon(Gdiplus::Bitmap* image) {
  if (!image) return {};
  const UINT width = image->GetWidth();
  const UINT height = image->GetHeight();
  if (width == 0 || height == 0) return {};

  BITMAPV5HEADER header = ArgbBitmapHeader(static_cast<LONG>(width), static_cast<LONG>(height));
  ScreenDc screen;
  if (!screen) return {};
  void* colorBits = nullptr;
  UniqueBitmap color(CreateDIBSection(screen.Get(), reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS,
                                      &colorBits, nullptr, 0));
  UniqueMemoryDc memory(CreateCompatibleDC(screen.Get()));
  screen.Release();
  if (!color || !colorBits || !memory) return {};

  // The mask is only consulted where the alpha is not (old consumers, or an
  // all-transparent alpha): mark the fully transparent pixels in it.
  const size_t maskStride = MaskStride(width);
  std::vector<BYTE> maskBits(maskStride * height, 0);
  {
    SelectedObject selection(memory.Get(), color.Get());
    PatBlt(memory.Get(), 0, 0, static_cast<int>(width), static_cast<int>(height), WHITENESS);
    GdiFlush();

    LockedBits bits(*image, Gdiplus::ImageLockModeRead, image->GetPixelFormat());
    if (bits.Locked() && bits.Data().PixelFormat == PixelFormat32bppARGB) {
      const size_t rowBytes = static_cast<size_t>(width) * 4;
      for (UINT row = 0; row < height; ++row) {
        const BYTE* source = bits.Row(row);
        BYTE* target = static_cast<BYTE*>(colorBits) + (height - 1 - row) * rowBytes;
        std::memcpy(target, source, rowBytes);
        BYTE* maskRow = maskBits.data() + row * maskStride;
        for (UINT column = 0; column < width; ++column) {
          if (source[column * 4 + 3] == 0) maskRow[column / 8] |= static_cast<BYTE>(0x80 >> (column % 8));
        }
      }
    }
  }
  memory.Reset();

  UniqueBitmap mask(CreateBitmap(static_cast<int>(width), static_cast<int>(height), 1, 1, maskBits.data()));
  if (!mask) return {};
  ICONINFO info{};
  info.fIcon = TRUE;
  info.hbmMask = mask.Get();
  info.hbmColor = color.Get();
  return UniqueIcon(CreateIconIndirect(&info));
}
