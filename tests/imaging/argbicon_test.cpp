// Images become icons and icons images again, pixel for pixel.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "imaging/argbicon.h"
#include "imaging/icontoargb.h"
#include "support/iconpixels.h"

namespace {

GdiplusSession gdiplus;

TEST(ArgbIcons, KeepSizeAndAlphaBothWays) {
  for (const auto& [width, height] : {std::pair{16, 16}, {37, 5}}) {
    // Every pixel differs; alpha runs through transparent, partial and opaque.
    Gdiplus::Bitmap image(width, height, PixelFormat32bppARGB);
    std::vector<uint32_t> pattern;
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        pattern.push_back(uint32_t{(x + y) % 3 == 0 ? 0u : (x + y) % 3 == 1 ? 0x80u : 0xFFu} << 24 |
                          uint32_t(x * 16) << 16 | uint32_t(y * 16) << 8 | 0x40);
        image.SetPixel(x, y, Gdiplus::Color(pattern.back()));
      }
    }
    UniqueIcon icon = ArgbImageToIcon(&image);
    const Pixels pixels = ReadIconPixels(icon.Get());
    EXPECT_EQ(std::pair(pixels.width, pixels.height), std::pair(width, height));
    EXPECT_EQ(pixels.argb, pattern);
    auto back = IconToArgbImage(icon.Get());
    ASSERT_TRUE(back && back->GetPixelFormat() == PixelFormat32bppARGB);
    EXPECT_EQ(ReadImagePixels(*back).argb, pattern);
  }
  Gdiplus::Bitmap rgb(20, 12, PixelFormat24bppRGB);
  const Pixels white = ReadIconPixels(ArgbImageToIcon(&rgb).Get());
  EXPECT_EQ(std::pair(white.width, white.height), std::pair(20, 12));
  EXPECT_EQ(white.Count(0xFFFFFFFF), 240u) << "another format gives a white icon";
  EXPECT_FALSE(ArgbImageToIcon(nullptr) || IconToArgbImage(nullptr));
}

}  // namespace
