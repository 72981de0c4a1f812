// The arithmetic of the washed-out icon and the status mark, and the names
// and cache keys of placeholder icons.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "iconhandler/overlaymath.h"
#include "iconhandler/placeholdernames.h"

namespace {

struct FadeCase {
  uint8_t channel;
  float amount;
  uint8_t expected;
};

class FadeChannelTest : public ::testing::TestWithParam<FadeCase> {};

TEST_P(FadeChannelTest, MovesTowardWhiteAndTruncates) {
  const FadeCase& fade = GetParam();
  EXPECT_EQ(FadeChannel(fade.channel, ClampFadeAmount(fade.amount)), fade.expected);
}

INSTANTIATE_TEST_SUITE_P(Amounts, FadeChannelTest,
                         ::testing::Values(FadeCase{0, 0.75f, 191}, FadeCase{128, 0.75f, 223},
                                           FadeCase{255, 0.75f, 255}, FadeCase{1, 0.75f, 191},
                                           FadeCase{4, 0.75f, 192}, FadeCase{100, 0.0f, 100},
                                           FadeCase{100, 1.0f, 255}, FadeCase{100, 3.0f, 255},
                                           FadeCase{100, -2.0f, 100},
                                           FadeCase{100, std::numeric_limits<float>::quiet_NaN(), 100}));

TEST(FadePixelRows, FadesColourBytesOnlyAndHonoursTheStride) {
  // Two rows of two pixels with four bytes of padding after each row.
  std::vector<uint8_t> bytes = {
      0,   128, 255, 0,   // transparent black-ish pixel
      10,  20,  30,  255, //
      0xAA, 0xAA, 0xAA, 0xAA,  // padding
      255, 255, 255, 7,   //
      0,   0,   0,   128, //
      0xAA, 0xAA, 0xAA, 0xAA,
  };
  FadePixelRows(bytes.data(), 12, 2, 2, placeholderFadeAmount);
  const std::vector<uint8_t> expected = {
      191, 223, 255, 0,   193, 196, 198, 255, 0xAA, 0xAA, 0xAA, 0xAA,
      255, 255, 255, 7,   191, 191, 191, 128, 0xAA, 0xAA, 0xAA, 0xAA,
  };
  EXPECT_EQ(bytes, expected);
}

TEST(FadePixelRows, WalksBottomUpRowsWithANegativeStride) {
  std::vector<uint8_t> bytes = {0, 0, 0, 0, 128, 128, 128, 1};
  FadePixelRows(bytes.data() + 4, -4, 1, 2, placeholderFadeAmount);
  EXPECT_EQ(bytes, (std::vector<uint8_t>{191, 191, 191, 0, 223, 223, 223, 1}));
}

struct GeometryCase {
  unsigned side;
  int ringLeft, ringSide;
  float ringPen;
  int discLeft, discSide;
  float arcPen;
};

class StatusMarkGeometryTest : public ::testing::TestWithParam<GeometryCase> {};

TEST_P(StatusMarkGeometryTest, MatchesTheWorkedSizes) {
  const GeometryCase& want = GetParam();
  const StatusMarkGeometry mark = ComputeStatusMarkGeometry(want.side, want.side);
  EXPECT_EQ(mark.ringLeft, want.ringLeft);
  EXPECT_EQ(mark.ringSide, want.ringSide);
  EXPECT_FLOAT_EQ(mark.ringPen, want.ringPen);
  EXPECT_EQ(mark.discLeft, want.discLeft);
  EXPECT_EQ(mark.discSide, want.discSide);
  EXPECT_FLOAT_EQ(mark.arcPen, want.arcPen);
}

INSTANTIATE_TEST_SUITE_P(Sides, StatusMarkGeometryTest,
                         ::testing::Values(GeometryCase{256, 53, 143, 16, 35, 179, 24},
                                           GeometryCase{32, 6, 17, 2, 4, 22, 3},
                                           GeometryCase{16, 3, 8, 1, 2, 11, 1.5f},
                                           GeometryCase{1, 0, 0, 0, 0, 0, 0}));

TEST(StatusMarkGeometry, LeftFollowsTheWidthAndSideTheHeight) {
  const StatusMarkGeometry mark = ComputeStatusMarkGeometry(100, 200);
  EXPECT_EQ(mark.ringLeft, 21);
  EXPECT_EQ(mark.ringSide, 112);
  EXPECT_EQ(mark.discLeft, 14);
  EXPECT_EQ(mark.discSide, 140);
  EXPECT_FLOAT_EQ(mark.ringPen, 12);
}

TEST(StatusArcSweep, RunsAFullCircleOverTheProgress) {
  EXPECT_FLOAT_EQ(StatusArcSweep(0), 0);
  EXPECT_FLOAT_EQ(StatusArcSweep(5), 18);
  EXPECT_FLOAT_EQ(StatusArcSweep(50), 180);
  EXPECT_FLOAT_EQ(StatusArcSweep(100), 360);
}

struct KeyCase {
  const wchar_t* name;
  IconSizeClass sizeClass;
  const wchar_t* key;
};

class FileTypeImageKeyTest : public ::testing::TestWithParam<KeyCase> {};

TEST_P(FileTypeImageKeyTest, TakesTheTextFromTheLastDot) {
  EXPECT_EQ(FileTypeImageKey(GetParam().name, GetParam().sizeClass), GetParam().key);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FileTypeImageKeyTest,
    ::testing::Values(KeyCase{L"C:\\Sync\\report.docx", IconSizeClass::Large, L".docxL"},
                      KeyCase{L"C:\\Sync\\report.docx", IconSizeClass::Small, L".docxS"},
                      KeyCase{L"C:\\Sync\\README", IconSizeClass::Large, L".L"},
                      KeyCase{L"README", IconSizeClass::Small, L".S"},
                      KeyCase{L"C:\\my.dir\\README", IconSizeClass::Small, L".dir\\READMES"},
                      KeyCase{L"C:\\Sync\\Photos.kvx2fldr", IconSizeClass::Large, L".kvx2fldrL"},
                      KeyCase{L"C:\\Sync\\archive.tar.GZ", IconSizeClass::Large, L".GZL"},
                      KeyCase{L"C:\\Sync\\trailing.", IconSizeClass::Small, L".S"}));

TEST(OverlayImageKey, WritesTheProgressInDecimal) {
  EXPECT_EQ(OverlayImageKey(55, IconSizeClass::Large), L"55L");
  EXPECT_EQ(OverlayImageKey(0, IconSizeClass::Small), L"0S");
  EXPECT_EQ(OverlayImageKey(100, IconSizeClass::Small), L"100S");
  EXPECT_EQ(OverlayImageKey(-1, IconSizeClass::Large), L"-1L");
}

TEST(PlaceholderTargetName, CutsTheExtensionAndMarksFolders) {
  const std::wstring path = L"C:\\Sync\\report.docx.TMVS";
  EXPECT_EQ(PlaceholderTargetName(path, path.size() - 5, false), L"C:\\Sync\\report.docx");
  EXPECT_EQ(PlaceholderTargetName(L"C:\\Sync\\Photos.tmvs", 14, true), L"C:\\Sync\\Photos.kvx2fldr");
}

TEST(ShellQueryName, KeepsNamesThatFitAndShortensTheRestToTheirExtension) {
  EXPECT_EQ(ShellQueryName(L"C:\\Sync\\report.docx"), L"C:\\Sync\\report.docx");
  const std::wstring longFolder = L"C:\\" + std::wstring(300, L'a');
  EXPECT_EQ(ShellQueryName(longFolder + L"\\report.docx"), L"placeholder.docx");
  EXPECT_EQ(ShellQueryName(longFolder + L".kvx2fldr"), L"placeholder.kvx2fldr");
  EXPECT_EQ(ShellQueryName(L"C:\\x.dir\\" + std::wstring(300, L'b')), L"placeholder");
  EXPECT_EQ(ShellQueryName(L"C:\\x." + std::wstring(300, L'c')), L"placeholder");
  EXPECT_EQ(ShellQueryName(std::wstring(259, L'd')).size(), 259u);
}

}  // namespace
