// Images to icons and icons to images: size, alpha and orientation kept,
// and the icons that carry no alpha of their own.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "contextmenu/icontoargb.h"
#include "iconhandler/argbicon.h"
#include "iconhandler/iconpixels.h"

namespace {

GdiplusSession gdiplus;

// Every pixel differs; alpha runs through transparent, partial and opaque.
std::vector<uint32_t> Pattern(int width, int height) {
  std::vector<uint32_t> pixels;
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x)
      pixels.push_back(uint32_t{(x + y) % 3 == 0 ? 0u : (x + y) % 3 == 1 ? 0x80u : 0xFFu} << 24 |
                       uint32_t(x * 16) << 16 | uint32_t(y * 16) << 8 | 0x40);
  return pixels;
}

std::unique_ptr<Gdiplus::Bitmap> ImageOf(int width, int height, const std::vector<uint32_t>& argb,
                                         Gdiplus::PixelFormat format = PixelFormat32bppARGB) {
  auto image = std::make_unique<Gdiplus::Bitmap>(width, height, format);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image->SetPixel(x, y, Gdiplus::Color(argb[y * width + x]));
  return image;
}

TEST(ArgbImageToIcon, KeepsSizeAlphaAndOrientationAndMasksTransparentPixels) {
  for (const auto& [width, height] : {std::pair{16, 16}, std::pair{37, 5}}) {
    const std::vector<uint32_t> pattern = Pattern(width, height);
    UniqueIcon icon = ArgbImageToIcon(ImageOf(width, height, pattern).get());
    const Pixels pixels = ReadIconPixels(icon.get());
    EXPECT_EQ(pixels.width, width);
    EXPECT_EQ(pixels.height, height);
    EXPECT_EQ(pixels.argb, pattern);
    const std::vector<bool> mask = ReadIconMask(icon.get());
    ASSERT_EQ(mask.size(), pattern.size());
    for (size_t index = 0; index < pattern.size(); ++index) EXPECT_EQ(mask[index], pattern[index] >> 24 == 0);
  }
}

TEST(ArgbImageToIcon, AnImageOfAnotherFormatGivesAWhiteIconOfItsSize) {
  UniqueIcon icon = ArgbImageToIcon(ImageOf(20, 12, std::vector<uint32_t>(240, 0xFF336699), PixelFormat24bppRGB).get());
  const Pixels pixels = ReadIconPixels(icon.get());
  EXPECT_EQ(pixels.width, 20);
  EXPECT_EQ(pixels.height, 12);
  EXPECT_EQ(pixels.Count(0xFFFFFFFF), 240u);
  EXPECT_FALSE(ArgbImageToIcon(nullptr));
}

TEST(IconToArgbImage, TakesTheColourBitmapsAlphaAsItIs) {
  UniqueIcon icon(MakeArgbIcon(16, 16, Pattern(16, 16)));
  auto image = IconToArgbImage(icon.get());
  ASSERT_TRUE(image);
  EXPECT_EQ(image->GetPixelFormat(), PixelFormat32bppARGB);
  EXPECT_EQ(ReadImagePixels(*image).argb, Pattern(16, 16));

  UniqueIcon noAlpha(MakeArgbIcon(8, 8, std::vector<uint32_t>(64, 0x00FF8000)));
  EXPECT_EQ(ReadImagePixels(*IconToArgbImage(noAlpha.get())).Count(0x00FF8000), 64u)
      << "alpha bytes of 0 make a fully transparent image";
  EXPECT_FALSE(IconToArgbImage(nullptr));
}

TEST(IconToArgbImage, IconsWithoutAColourBitmapTakeAlphaFromTheirMask) {
  // 16 x 2, one bit per pixel: AND rows, then XOR rows.
  const BYTE andBits[] = {0x0F, 0xFF, 0xFF, 0x00};
  const BYTE xorBits[] = {0xF0, 0x00, 0x00, 0x0F};
  UniqueIcon icon(CreateIcon(nullptr, 16, 2, 1, 1, andBits, xorBits));
  auto image = IconToArgbImage(icon.get());
  ASSERT_TRUE(image);
  const Pixels pixels = ReadImagePixels(*image);
  ASSERT_EQ(pixels.width * pixels.height, 32);
  EXPECT_EQ(pixels.At(0, 0), 0xFFFFFFFFu);
  EXPECT_EQ(pixels.At(4, 0), 0u) << "masked out";
  EXPECT_EQ(pixels.At(0, 1), 0u);
  EXPECT_EQ(pixels.At(8, 1), 0xFF000000u);
  EXPECT_EQ(pixels.At(15, 1), 0xFFFFFFFFu);
}

}  // namespace
