// Images to icons and icons to images: sizes, alpha, orientation and the
// icons that carry no alpha of their own.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "contextmenu/icontoargb.h"
#include "iconhandler/argbicon.h"
#include "iconhandler/iconpixels.h"

namespace {

GdiplusSession gdiplus;

// Every pixel differs, alpha runs through transparent, partial and opaque.
std::vector<uint32_t> Pattern(int width, int height) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const uint32_t alpha = (x + y) % 3 == 0 ? 0 : (x + y) % 3 == 1 ? 0x80 : 0xFF;
      pixels.push_back(alpha << 24 | static_cast<uint32_t>(x * 16) << 16 | static_cast<uint32_t>(y * 16) << 8 |
                       0x40);
    }
  }
  return pixels;
}

std::unique_ptr<Gdiplus::Bitmap> ImageOf(int width, int height, const std::vector<uint32_t>& argb,
                                         Gdiplus::PixelFormat format = PixelFormat32bppARGB) {
  auto image = std::make_unique<Gdiplus::Bitmap>(width, height, format);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image->SetPixel(x, y, Gdiplus::Color(argb[y * width + x]));
  return image;
}

TEST(ArgbImageToIcon, KeepsSizeAlphaAndOrientation) {
  const std::vector<uint32_t> pattern = Pattern(16, 16);
  auto image = ImageOf(16, 16, pattern);
  UniqueIcon icon = ArgbImageToIcon(image.get());
  ASSERT_TRUE(icon);
  const Pixels pixels = ReadIconPixels(icon.get());
  ASSERT_EQ(pixels.width, 16);
  ASSERT_EQ(pixels.height, 16);
  EXPECT_EQ(pixels.argb, pattern);

  const std::vector<bool> mask = ReadIconMask(icon.get());
  ASSERT_EQ(mask.size(), pattern.size());
  for (size_t index = 0; index < pattern.size(); ++index)
    EXPECT_EQ(mask[index], (pattern[index] >> 24) == 0) << "pixel " << index;
}

TEST(ArgbImageToIcon, KeepsNonSquareSizes) {
  auto image = ImageOf(37, 5, Pattern(37, 5));
  UniqueIcon icon = ArgbImageToIcon(image.get());
  const Pixels pixels = ReadIconPixels(icon.get());
  EXPECT_EQ(pixels.width, 37);
  EXPECT_EQ(pixels.height, 5);
  EXPECT_EQ(pixels.argb, Pattern(37, 5));
}

TEST(ArgbImageToIcon, AnImageOfAnotherFormatGivesAWhiteIconOfItsSize) {
  auto image = ImageOf(20, 12, std::vector<uint32_t>(240, 0xFF336699), PixelFormat24bppRGB);
  UniqueIcon icon = ArgbImageToIcon(image.get());
  ASSERT_TRUE(icon);
  const Pixels pixels = ReadIconPixels(icon.get());
  ASSERT_EQ(pixels.width, 20);
  ASSERT_EQ(pixels.height, 12);
  for (uint32_t pixel : pixels.argb) ASSERT_EQ(pixel & 0x00FFFFFF, 0x00FFFFFFu);
  for (bool transparent : ReadIconMask(icon.get())) ASSERT_FALSE(transparent);
}

TEST(ArgbImageToIcon, NoImageGivesNoIcon) { EXPECT_FALSE(ArgbImageToIcon(nullptr)); }

TEST(IconToArgbImage, TakesTheColourBitmapsAlphaAsItIs) {
  const std::vector<uint32_t> pattern = Pattern(16, 16);
  UniqueIcon icon(MakeArgbIcon(16, 16, pattern));
  ASSERT_TRUE(icon);
  auto image = IconToArgbImage(icon.get());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->GetPixelFormat(), PixelFormat32bppARGB);
  EXPECT_EQ(ReadImagePixels(*image).argb, pattern);
}

TEST(IconToArgbImage, AnIconWithoutAlphaBytesIsFullyTransparent) {
  UniqueIcon icon(MakeArgbIcon(8, 8, std::vector<uint32_t>(64, 0x00FF8000)));
  auto image = IconToArgbImage(icon.get());
  ASSERT_TRUE(image);
  for (uint32_t pixel : ReadImagePixels(*image).argb) ASSERT_EQ(pixel >> 24, 0u);
}

TEST(IconToArgbImage, MonochromeIconsTakeAlphaFromTheirMask) {
  // 16 x 2: AND rows then XOR rows, one bit per pixel.
  const BYTE andBits[] = {0x0F, 0xFF, 0xFF, 0x00};
  const BYTE xorBits[] = {0xF0, 0x00, 0x00, 0x0F};
  UniqueIcon icon(CreateIcon(nullptr, 16, 2, 1, 1, andBits, xorBits));
  ASSERT_TRUE(icon);
  auto image = IconToArgbImage(icon.get());
  ASSERT_TRUE(image);
  const Pixels pixels = ReadImagePixels(*image);
  ASSERT_EQ(pixels.width, 16);
  ASSERT_EQ(pixels.height, 2);
  EXPECT_EQ(pixels.At(0, 0), 0xFFFFFFFFu) << "opaque white";
  EXPECT_EQ(pixels.At(3, 0), 0xFFFFFFFFu);
  EXPECT_EQ(pixels.At(4, 0), 0u) << "masked out";
  EXPECT_EQ(pixels.At(15, 0), 0u);
  EXPECT_EQ(pixels.At(0, 1), 0u);
  EXPECT_EQ(pixels.At(8, 1), 0xFF000000u) << "opaque black";
  EXPECT_EQ(pixels.At(15, 1), 0xFFFFFFFFu);
}

TEST(IconToArgbImage, ColourBitmapsOfFewerBitsTakeAlphaFromTheMask) {
  const int side = 8;
  BITMAPINFO info{};
  info.bmiHeader.biSize = sizeof(info.bmiHeader);
  info.bmiHeader.biWidth = side;
  info.bmiHeader.biHeight = -side;
  info.bmiHeader.biPlanes = 1;
  info.bmiHeader.biBitCount = 24;
  info.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  UniqueBitmap color(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0));
  ASSERT_TRUE(color);
  auto* rows = static_cast<BYTE*>(bits);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      BYTE* pixel = rows + y * 24 + x * 3;  // 8 pixels of 3 bytes: rows already 4-byte aligned
      pixel[0] = 0x30;  // blue
      pixel[1] = static_cast<BYTE>(x * 20);
      pixel[2] = static_cast<BYTE>(y * 20);
    }
  }
  // The left half is masked out.
  const BYTE maskBits[side * 2] = {0xF0, 0, 0xF0, 0, 0xF0, 0, 0xF0, 0, 0xF0, 0, 0xF0, 0, 0xF0, 0, 0xF0, 0};
  UniqueBitmap mask(CreateBitmap(side, side, 1, 1, maskBits));
  ICONINFO iconInfo{TRUE, 0, 0, mask.get(), color.get()};
  UniqueIcon icon(CreateIconIndirect(&iconInfo));
  ASSERT_TRUE(icon);

  ICONINFO stored{};
  ASSERT_TRUE(GetIconInfo(icon.get(), &stored));
  BITMAP storedColor{};
  GetObjectW(stored.hbmColor, sizeof(storedColor), &storedColor);
  DeleteObject(stored.hbmColor);
  DeleteObject(stored.hbmMask);
  if (storedColor.bmBitsPixel == 32) GTEST_SKIP() << "this system keeps every colour icon at 32 bits";

  auto image = IconToArgbImage(icon.get());
  ASSERT_TRUE(image);
  const Pixels pixels = ReadImagePixels(*image);
  for (int y = 0; y < side; ++y) {
    for (int x = 0; x < side; ++x) {
      const uint32_t expected = x < 4 ? 0u : 0xFF000000u | static_cast<uint32_t>(y * 20) << 16 |
                                                 static_cast<uint32_t>(x * 20) << 8 | 0x30;
      EXPECT_EQ(pixels.At(x, y), expected) << x << "," << y;
    }
  }
}

TEST(IconToArgbImage, NoIconGivesNoImage) { EXPECT_FALSE(IconToArgbImage(nullptr)); }

}  // namespace
