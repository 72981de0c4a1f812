// Washing the file-type image out, the status mark and the cache keys: the
// arithmetic on its own, then pixel by pixel on real GDI+ images.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "iconhandler/iconpixels.h"
#include "iconhandler/logcapture.h"
#include "iconhandler/overlaymath.h"
#include "iconhandler/placeholdernames.h"
#include "iconhandler/statusoverlay.h"

namespace {

GdiplusSession gdiplus;

struct FadeCase {
  uint8_t channel;
  float amount;
  uint8_t expected;
};

class FadeChannelTest : public ::testing::TestWithParam<FadeCase> {};

TEST_P(FadeChannelTest, MovesTowardWhiteAndTruncates) {
  EXPECT_EQ(FadeChannel(GetParam().channel, ClampFadeAmount(GetParam().amount)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Amounts, FadeChannelTest,
                         ::testing::Values(FadeCase{0, 0.75f, 191}, FadeCase{128, 0.75f, 223},
                                           FadeCase{255, 0.75f, 255}, FadeCase{4, 0.75f, 192},
                                           FadeCase{100, 0.0f, 100}, FadeCase{100, 3.0f, 255},
                                           FadeCase{100, -2.0f, 100},
                                           FadeCase{100, std::numeric_limits<float>::quiet_NaN(), 100}));

TEST(FadePixelRows, FadesColourOnlyAndHonoursTheStride) {
  // Two rows of one pixel and four bytes of padding, walked bottom-up.
  std::vector<uint8_t> bytes = {0, 128, 255, 0, 0xAA, 0xAA, 0xAA, 0xAA, 10, 20, 30, 200, 0xAA, 0xAA, 0xAA, 0xAA};
  FadePixelRows(bytes.data() + 8, -8, 1, 2, placeholderFadeAmount);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{191, 223, 255, 0, 0xAA, 0xAA, 0xAA, 0xAA, 193, 196, 198, 200, 0xAA, 0xAA,
                                         0xAA, 0xAA}));
}

struct GeometryCase {
  unsigned side;
  StatusMarkGeometry expected;
};

class StatusMarkGeometryTest : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(StatusMarkGeometryTest, MatchesTheWorkedSizes) {
  const StatusMarkGeometry mark = ComputeStatusMarkGeometry(GetParam().side, GetParam().side);
  const StatusMarkGeometry& want = GetParam().expected;
  EXPECT_EQ(mark.ringLeft, want.ringLeft);
  EXPECT_EQ(mark.ringSide, want.ringSide);
  EXPECT_EQ(mark.ringPen, want.ringPen);
  EXPECT_EQ(mark.discLeft, want.discLeft);
  EXPECT_EQ(mark.discSide, want.discSide);
  EXPECT_EQ(mark.arcPen, want.arcPen);
}

INSTANTIATE_TEST_SUITE_P(Sides, StatusMarkGeometryTest,
                         ::testing::Values(GeometryCase{256, {53, 143, 16, 35, 179, 24}},
                                           GeometryCase{32, {6, 17, 2, 4, 22, 3}},
                                           GeometryCase{16, {3, 8, 1, 2, 11, 1.5f}}));

TEST(CacheKeys, TakeTheTextFromTheLastDotAndTheClassLetter) {
  EXPECT_EQ(FileTypeImageKey(L"C:\\Sync\\report.docx", IconSizeClass::Large), L".docxL");
  EXPECT_EQ(FileTypeImageKey(L"C:\\Sync\\README", IconSizeClass::Small), L".S");
  EXPECT_EQ(FileTypeImageKey(L"C:\\my.dir\\README", IconSizeClass::Small), L".dir\\READMES");
  EXPECT_EQ(FileTypeImageKey(L"C:\\Sync\\Photos.kvx2fldr", IconSizeClass::Large), L".kvx2fldrL");
  EXPECT_EQ(OverlayImageKey(55, IconSizeClass::Large), L"55L");
  EXPECT_EQ(OverlayImageKey(100, IconSizeClass::Small), L"100S");
}

TEST(ShellQueryName, ShortensNamesBeyondTheShellsLimitToTheirExtension) {
  EXPECT_EQ(ShellQueryName(L"C:\\Sync\\report.docx"), L"C:\\Sync\\report.docx");
  const std::wstring longFolder = L"C:\\" + std::wstring(300, L'a');
  EXPECT_EQ(ShellQueryName(longFolder + L"\\report.docx"), L"placeholder.docx");
  EXPECT_EQ(ShellQueryName(longFolder + L".kvx2fldr"), L"placeholder.kvx2fldr");
  EXPECT_EQ(ShellQueryName(L"C:\\x.dir\\" + std::wstring(300, L'b')), L"placeholder");
}

TEST(FadeTowardWhite, FadesAGdiplusImageAndKeepsAlpha) {
  Gdiplus::Bitmap image(3, 1, PixelFormat32bppARGB);
  image.SetPixel(0, 0, Gdiplus::Color(0x00000000));
  image.SetPixel(1, 0, Gdiplus::Color(0x808000FF));
  image.SetPixel(2, 0, Gdiplus::Color(0xFFFFFFFF));
  FadeTowardWhite(&image, placeholderFadeAmount);
  const Pixels pixels = ReadImagePixels(image);
  EXPECT_EQ(pixels.argb, (std::vector<uint32_t>{0x00BFBFBF, 0x80DFBFFF, 0xFFFFFFFF}))
      << "a transparent pixel stays transparent";
}

Pixels Overlay(UINT side, int32_t progress) {
  auto overlay = CreateStatusOverlay(side, side, PixelFormat32bppARGB, progress);
  return overlay ? ReadImagePixels(*overlay) : Pixels{};
}

TEST(StatusOverlay, RingAndDiscLieWhereTheWorkedSizesSay) {
  // 256 pixels: ring square at 53, side 143, pen 16; disc at 35, side 179.
  const Pixels mark = Overlay(256, 0);
  for (const auto& [bounds, low, high] : {std::tuple{mark.BoundsOf(statusRingColor), 53 - 8, 53 + 143 + 8},
                                          std::tuple{mark.BoundsOf(statusDiscColor), 35, 35 + 179}}) {
    EXPECT_NEAR(bounds.left, low, 1);
    EXPECT_NEAR(bounds.top, low, 1);
    EXPECT_NEAR(bounds.right, high, 1);
    EXPECT_NEAR(bounds.bottom, high, 1);
  }
  EXPECT_EQ(mark.At(124, 124), statusDiscColor);
  EXPECT_EQ(mark.At(10, 10), 0u);
}

struct ArcCase {
  int32_t progress;
  bool top, right, bottom, left;
};

class StatusArc : public ::testing::TestWithParam<ArcCase> {};

TEST_P(StatusArc, RunsClockwiseFromTheTopOverTheProgress) {
  const ArcCase& arc = GetParam();
  const Pixels mark = Overlay(256, arc.progress);
  EXPECT_EQ(mark.At(124, 53) == statusArcColor, arc.top);
  EXPECT_EQ(mark.At(196, 124) == statusArcColor, arc.right);
  EXPECT_EQ(mark.At(124, 196) == statusArcColor, arc.bottom);
  EXPECT_EQ(mark.At(53, 124) == statusArcColor, arc.left);
  EXPECT_EQ(mark.At(53, 124) == statusRingColor, !arc.left) << "the ring shows where the arc is not";
  if (arc.progress == 100) {
    // The arc pen of 24 reaches 12 pixels to either side of the ring's square.
    EXPECT_NEAR(mark.BoundsOf(statusArcColor).left, 53 - 12, 1);
    EXPECT_NEAR(mark.BoundsOf(statusArcColor).right, 53 + 143 + 12, 1);
  }
  if (arc.progress == 50) {
    // It starts 2 degrees left of the top: only its flat start passes the middle.
    EXPECT_EQ(mark.Count(statusArcColor, 0, 118), 0u);
  }
}

INSTANTIATE_TEST_SUITE_P(Steps, StatusArc,
                         ::testing::Values(ArcCase{0, false, false, false, false},
                                           ArcCase{25, true, false, false, false},
                                           ArcCase{50, true, true, false, false},
                                           ArcCase{75, true, true, true, false},
                                           ArcCase{100, true, true, true, true}));

TEST(StatusOverlay, NegativeProgressDrawsNothingAndEachCircleIsLogged) {
  TakeLoggedLines();
  for (UINT side : {256u, 16u}) {
    const Pixels none = Overlay(side, -1);
    EXPECT_EQ(none.Count(0), static_cast<size_t>(side * side));
    EXPECT_EQ(Overlay(side, 0).Count(statusArcColor), 0u);
    EXPECT_GT(Overlay(side, 0).Count(statusRingColor), 0u);
    EXPECT_GT(Overlay(side, 100).Count(statusArcColor), 0u);
  }
  const std::vector<std::wstring> lines = TakeLoggedLines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], L"Drawing circle with 0 status");
  EXPECT_EQ(lines[2], L"Drawing circle with 100 status");
}

TEST(ComposeStatusIcon, BlendsTheMarkOverACopyAndLeavesBothImagesAlone) {
  Gdiplus::Bitmap faded(256, 256, PixelFormat32bppARGB);
  {
    Gdiplus::Graphics graphics(&faded);
    graphics.Clear(Gdiplus::Color(0xFFC0D0E0));
  }
  auto overlay = CreateStatusOverlay(256, 256, PixelFormat32bppARGB, 50);
  const Pixels overlayBefore = ReadImagePixels(*overlay);
  UniqueIcon icon = ComposeStatusIcon(&faded, overlay.get());
  const Pixels composed = ReadIconPixels(icon.get());
  ASSERT_EQ(composed.width, 256);
  EXPECT_EQ(composed.At(196, 124), statusArcColor);
  EXPECT_EQ(composed.At(53, 124), statusRingColor);
  EXPECT_EQ(composed.At(10, 10), 0xFFC0D0E0u);
  EXPECT_GT(composed.At(124, 124) & 0xFF, 0xE0u) << "the translucent disc lightens what lies under it";
  EXPECT_EQ(ReadImagePixels(faded).Count(0xFFC0D0E0), 256u * 256u);
  EXPECT_EQ(ReadImagePixels(*overlay).argb, overlayBefore.argb);
  EXPECT_FALSE(ComposeStatusIcon(nullptr, overlay.get()));
}

}  // namespace
