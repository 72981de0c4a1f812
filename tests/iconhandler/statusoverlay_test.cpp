// Washing images out, drawing the status mark and laying it over a copy,
// checked pixel by pixel on real GDI+ images.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "iconhandler/iconpixels.h"
#include "iconhandler/logcapture.h"
#include "iconhandler/overlaymath.h"
#include "iconhandler/statusoverlay.h"

namespace {

GdiplusSession gdiplus;

std::unique_ptr<Gdiplus::Bitmap> SolidImage(int width, int height, uint32_t argb) {
  auto image = std::make_unique<Gdiplus::Bitmap>(width, height, PixelFormat32bppARGB);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) image->SetPixel(x, y, Gdiplus::Color(argb));
  return image;
}

Pixels Overlay(UINT side, int32_t progress) {
  auto overlay = CreateStatusOverlay(side, side, PixelFormat32bppARGB, progress);
  if (!overlay) return {};
  return ReadImagePixels(*overlay);
}

void ExpectBounds(const RECT& bounds, LONG low, LONG high) {
  EXPECT_NEAR(bounds.left, low, 1);
  EXPECT_NEAR(bounds.top, low, 1);
  EXPECT_NEAR(bounds.right, high, 1);
  EXPECT_NEAR(bounds.bottom, high, 1);
}

TEST(FadeTowardWhite, FadesColourAndKeepsAlphaPixelExact) {
  Gdiplus::Bitmap image(4, 1, PixelFormat32bppARGB);
  image.SetPixel(0, 0, Gdiplus::Color(0x00000000));
  image.SetPixel(1, 0, Gdiplus::Color(0x808000FF));
  image.SetPixel(2, 0, Gdiplus::Color(0xFFFFFFFF));
  image.SetPixel(3, 0, Gdiplus::Color(0x01000000));
  FadeTowardWhite(&image, placeholderFadeAmount);
  const Pixels pixels = ReadImagePixels(image);
  EXPECT_EQ(pixels.At(0, 0), 0x00BFBFBFu) << "a transparent pixel stays transparent";
  EXPECT_EQ(pixels.At(1, 0), 0x80DFBFFFu);
  EXPECT_EQ(pixels.At(2, 0), 0xFFFFFFFFu);
  EXPECT_EQ(pixels.At(3, 0), 0x01BFBFBFu);
}

TEST(FadeTowardWhite, ClampsTheAmountAndIgnoresNoImage) {
  auto image = SolidImage(2, 2, 0xFF102030);
  FadeTowardWhite(image.get(), 5.0f);
  EXPECT_EQ(ReadImagePixels(*image).Count(0xFFFFFFFF), 4u);
  image = SolidImage(2, 2, 0xFF102030);
  FadeTowardWhite(image.get(), -1.0f);
  EXPECT_EQ(ReadImagePixels(*image).Count(0xFF102030), 4u);
  FadeTowardWhite(nullptr, 0.75f);
}

TEST(StatusOverlay, RingAndDiscLieWhereTheWorkedSizesSay) {
  // 256 pixels: ring square at 53, side 143, pen 16; disc at 35, side 179.
  const Pixels mark = Overlay(256, 0);
  ASSERT_EQ(mark.width, 256);
  ExpectBounds(mark.BoundsOf(statusRingColor), 53 - 8, 53 + 143 + 8);
  ExpectBounds(mark.BoundsOf(statusDiscColor), 35, 35 + 179);
  EXPECT_EQ(mark.At(124, 53), statusRingColor) << "the pen is centred on the square's edge";
  EXPECT_EQ(mark.At(124, 124), statusDiscColor);
  EXPECT_EQ(mark.At(10, 10), 0u) << "outside the disc the overlay is transparent";
  EXPECT_EQ(mark.At(124, 53 - 10), statusDiscColor) << "a ring pen of 16 ends 8 pixels out";
}

TEST(StatusOverlay, FullProgressClosesTheArcOverTheRing) {
  const Pixels mark = Overlay(256, 100);
  // The arc pen of 24 reaches 12 pixels to either side of the ring's square.
  ExpectBounds(mark.BoundsOf(statusArcColor), 53 - 12, 53 + 143 + 12);
  EXPECT_EQ(mark.At(124, 53), statusArcColor) << "top";
  EXPECT_EQ(mark.At(53, 124), statusArcColor) << "left";
  EXPECT_EQ(mark.At(196, 124), statusArcColor) << "right";
  EXPECT_EQ(mark.At(124, 124), statusDiscColor);
}

TEST(StatusOverlay, HalfProgressRunsClockwiseFromTheTopOverTheRightHalf) {
  const Pixels mark = Overlay(256, 50);
  EXPECT_EQ(mark.At(124, 53), statusArcColor) << "top";
  EXPECT_EQ(mark.At(196, 124), statusArcColor) << "right";
  EXPECT_EQ(mark.At(53, 124), statusRingColor) << "left shows the ring";
  // It starts 2 degrees left of the top, so only its flat start reaches a
  // few pixels past the middle.
  EXPECT_EQ(mark.Count(statusArcColor, 0, 0, 118, 256), 0u);
  EXPECT_GT(mark.Count(statusArcColor, 128, 0, 256, 256), 1000u);
}

TEST(StatusOverlay, SweepGrowsWithTheProgress) {
  size_t previous = 0;
  for (int progress : {5, 25, 50, 75, 100}) {
    const size_t arc = Overlay(256, progress).Count(statusArcColor);
    EXPECT_GT(arc, previous) << progress;
    previous = arc;
  }
  EXPECT_EQ(Overlay(256, 75).At(53, 124), statusRingColor) << "three quarters stop short of the left";
  EXPECT_EQ(Overlay(256, 75).At(124, 196), statusArcColor) << "bottom";
}

TEST(StatusOverlay, LogsEachCircleItDraws) {
  TakeLoggedLines();
  Overlay(32, 50);
  Overlay(32, 0);
  Overlay(32, -1);
  EXPECT_EQ(TakeLoggedLines(),
            (std::vector<std::wstring>{L"Drawing circle with 50 status", L"Drawing circle with 0 status"}));
}

TEST(StatusOverlay, NoProgressStepDrawsNoArcAndNegativeDrawsNothing) {
  for (UINT side : {256u, 32u, 16u}) {
    const Pixels zero = Overlay(side, 0);
    EXPECT_EQ(zero.Count(statusArcColor), 0u) << side;
    EXPECT_GT(zero.Count(statusRingColor), 0u) << side;
    const Pixels none = Overlay(side, -1);
    ASSERT_FALSE(none.Empty());
    EXPECT_EQ(none.Count(0), none.argb.size()) << side;
    EXPECT_GT(Overlay(side, 100).Count(statusArcColor), 0u) << side;
  }
}

TEST(ComposeStatusIcon, BlendsTheMarkOverACopyAndLeavesBothImagesAlone) {
  auto faded = SolidImage(256, 256, 0xFFC0D0E0);
  auto overlay = CreateStatusOverlay(256, 256, PixelFormat32bppARGB, 50);
  ASSERT_TRUE(overlay);
  const Pixels overlayBefore = ReadImagePixels(*overlay);

  UniqueIcon icon = ComposeStatusIcon(faded.get(), overlay.get());
  ASSERT_TRUE(icon);
  const Pixels composed = ReadIconPixels(icon.get());
  ASSERT_EQ(composed.width, 256);
  ASSERT_EQ(composed.height, 256);
  EXPECT_EQ(composed.At(196, 124), statusArcColor);
  EXPECT_EQ(composed.At(53, 124), statusRingColor);
  EXPECT_EQ(composed.At(10, 10), 0xFFC0D0E0u);
  EXPECT_EQ(composed.At(250, 250), 0xFFC0D0E0u);
  const uint32_t disc = composed.At(124, 124);
  EXPECT_EQ(disc >> 24, 0xFFu);
  EXPECT_GT(disc & 0xFF, 0xE0u) << "the translucent white disc lightens what lies under it";

  EXPECT_EQ(ReadImagePixels(*faded).Count(0xFFC0D0E0), 256u * 256u);
  EXPECT_EQ(ReadImagePixels(*overlay).argb, overlayBefore.argb);
}

TEST(ComposeStatusIcon, WithoutAnImageGivesNoIcon) {
  auto overlay = CreateStatusOverlay(16, 16, PixelFormat32bppARGB, 50);
  EXPECT_FALSE(ComposeStatusIcon(nullptr, overlay.get()));
}

}  // namespace
