// In process: washing the file-type image out, the status mark and the
// process-wide image cache; the image and icon conversions: tests/imaging.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "iconhandler/iconimagecache.h"
#include "support/iconpixels.h"
#include "iconhandler/overlaymath.h"
#include "iconhandler/shellfileicon.h"
#include "iconhandler/statusoverlay.h"
#include "support/testfiles.h"

// From logcapture.cpp: the lines logged since the last call.
std::vector<std::wstring> TakeLoggedLines();

namespace {

GdiplusSession gdiplus;

TEST(Fade, MovesColourTowardWhiteTruncatedAndLeavesAlpha) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  for (const auto& [channel, amount, expected] : {std::tuple<int, float, int>{0, 0.75f, 191}, {128, 0.75f, 223},
                                                  {255, 0.75f, 255}, {4, 0.75f, 192}, {100, 0.0f, 100},
                                                  {100, 3.0f, 255}, {100, -2.0f, 100}, {100, nan, 100}})
    EXPECT_EQ(FadeChannel(channel, ClampFadeAmount(amount)), expected) << channel << " by " << amount;
  // Two bottom-up rows of one pixel and four bytes of padding; alpha stays.
  std::vector<uint8_t> rows = {0, 128, 255, 0, 0xAA, 0xAA, 0xAA, 0xAA, 10, 20, 30, 200, 0xAA, 0xAA, 0xAA, 0xAA};
  FadePixelRows(rows.data() + 8, -8, 1, 2, placeholderFadeAmount);
  EXPECT_EQ(rows, (std::vector<uint8_t>{191, 223, 255, 0, 0xAA, 0xAA, 0xAA, 0xAA, 193, 196, 198, 200, 0xAA, 0xAA,
                                        0xAA, 0xAA}));
  // Through GDI+: a transparent pixel stays transparent.
  Gdiplus::Bitmap image(2, 1, PixelFormat32bppARGB);
  image.SetPixel(1, 0, Gdiplus::Color(0x808000FF));
  FadeTowardWhite(&image, placeholderFadeAmount);
  EXPECT_EQ(ReadImagePixels(image).argb, (std::vector<uint32_t>{0x00BFBFBF, 0x80DFBFFF}));
}

TEST(StatusMark, GeometryOfTheWorkedSizes) {
  const auto fields = [](const StatusMarkGeometry& g) {
    return std::tuple(g.ringLeft, g.ringSide, g.ringPen, g.discLeft, g.discSide, g.arcPen);
  };
  for (const auto& [side, want] : {std::pair{256u, StatusMarkGeometry{53, 143, 16, 35, 179, 24}},
                                   {32u, {6, 17, 2, 4, 22, 3}}, {16u, {3, 8, 1, 2, 11, 1.5f}}})
    EXPECT_EQ(fields(ComputeStatusMarkGeometry(side, side)), fields(want)) << side;
}

Pixels Overlay(int32_t progress, UINT side = 256) {
  auto overlay = CreateStatusOverlay(side, side, PixelFormat32bppARGB, progress);
  return overlay ? ReadImagePixels(*overlay) : Pixels{};
}

// At 256 pixels the ring's square lies at 53 with side 143; the probes sit
// on the ring at its top, right, bottom and left. The pens are in the table
// above.
TEST(StatusMark, ArcRunsClockwiseFromTheTopOverTheProgress) {
  TakeLoggedLines();
  for (const auto& [progress, top, right, bottom, left] :
       {std::tuple{0, false, false, false, false}, {25, true, false, false, false}, {50, true, true, false, false},
        {75, true, true, true, false}, {100, true, true, true, true}}) {
    const Pixels mark = Overlay(progress);
    EXPECT_EQ(mark.At(124, 53) == statusArcColor, top) << progress;
    EXPECT_EQ(mark.At(196, 124) == statusArcColor, right) << progress;
    EXPECT_EQ(mark.At(124, 196) == statusArcColor, bottom) << progress;
    EXPECT_EQ(mark.At(53, 124), left ? statusArcColor : statusRingColor) << progress;
    EXPECT_EQ(mark.At(124, 124), statusDiscColor);
    EXPECT_EQ(mark.At(10, 10), 0u);
    EXPECT_EQ(TakeLoggedLines(), std::vector{L"Drawing circle with " + std::to_wstring(progress) + L" status"});
  }
  // Starting 2 degrees left of the top, only its flat start passes the middle.
  EXPECT_EQ(Overlay(50).Count(statusArcColor, 0, 118), 0u);
  TakeLoggedLines();
  for (UINT side : {256u, 16u}) EXPECT_EQ(Overlay(-1, side).Count(0), size_t{side} * side) << "nothing drawn";
  EXPECT_TRUE(TakeLoggedLines().empty());
}

TEST(StatusMark, IsBlendedOverACopyAndLeavesBothImagesAlone) {
  Gdiplus::Bitmap faded(256, 256, PixelFormat32bppARGB);
  Gdiplus::Graphics(&faded).Clear(Gdiplus::Color(0xFFC0D0E0));
  auto overlay = CreateStatusOverlay(256, 256, PixelFormat32bppARGB, 50);
  const Pixels overlayBefore = ReadImagePixels(*overlay);
  const Pixels composed = ReadIconPixels(ComposeStatusIcon(&faded, overlay.get()).Get());
  ASSERT_EQ(composed.width, 256);
  EXPECT_EQ(composed.At(10, 10), 0xFFC0D0E0u);
  EXPECT_GT(composed.At(124, 124) & 0xFF, 0xE0u) << "the translucent disc lightens what lies under it";
  EXPECT_EQ(ReadImagePixels(faded).Count(0xFFC0D0E0), 256u * 256u);
  EXPECT_EQ(ReadImagePixels(*overlay).argb, overlayBefore.argb);
  EXPECT_FALSE(ComposeStatusIcon(nullptr, overlay.get()));
}

using Keys = std::vector<std::wstring>;

Keys CacheKeys() {
  SectionLock lock(iconImageCacheLock);
  return iconImageCache.Keys();
}

// An icon object held and released through its interface, as Explorer does.
struct IconObject {
  explicit IconObject(const std::wstring& path) {
    auto* object = new ShellFileIcon();
    object->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(&extract));
    object->Load(path.c_str(), STGM_READ);
  }
  ~IconObject() { extract->Release(); }
  std::pair<UniqueIcon, UniqueIcon> Extract(UINT sizes, bool wantLarge = true) {
    HICON large = nullptr, small = nullptr;
    EXPECT_EQ(extract->Extract(nullptr, 0, wantLarge ? &large : nullptr, &small, sizes), S_OK);
    return {UniqueIcon(large), UniqueIcon(small)};
  }
  IExtractIconW* extract = nullptr;
};

std::wstring Placeholder(const TempFolder& folder, const wchar_t* name, const char* state) {
  const std::wstring path = folder / name;
  EXPECT_TRUE(WriteBytes(path, "") && (!*state || WriteBytes(path + L":com.tamvera.Sync", state)));
  return path;
}

// 57 % shows as 55 %; equal sizes give one icon and its duplicate, a side of
// 0 none; each overlay entry is drawn once.
TEST(IconCache, KeysFollowTheNameTheProgressAndTheSizeClasses) {
  const struct {
    const wchar_t* name;
    const char* state;
    UINT sizes;  // large in the low word, small in the high word
    Keys keys;
  } rows[] = {
      {L"report.docx.tmvs", "d10:kvx_statusi57ee", MAKELONG(48, 16), {L".docx@16", L".docx@48", L"55@16", L"55@48"}},
      {L"report.docx.tmvs", "d10:kvx_statusi57ee", MAKELONG(32, 32), {L".docx@32", L"55@32"}},
      {L"README.tmvs", "d10:kvx_statusi100ee", MAKELONG(0, 16), {L".@16", L"100@16"}},
      {L"REPORT.DOCX.TMVS", "d10:kvx_statusi5ee", MAKELONG(0, 16), {L".DOCX@16", L"5@16"}},
      {L"Photos.tmvs", "d8:kvx_typei2ee", MAKELONG(0, 16), {L".kvx2fldr@16", L"0@16"}}};
  for (const auto& row : rows) {
    ReleaseIconImageCache();
    TempFolder folder;
    IconObject object(Placeholder(folder, row.name, row.state));
    TakeLoggedLines();
    const auto [large, small] = object.Extract(row.sizes);
    EXPECT_EQ(CacheKeys(), row.keys);
    EXPECT_EQ(TakeLoggedLines().size(), row.keys.size() / 2);
    const bool equal = LOWORD(row.sizes) == HIWORD(row.sizes);
    const Pixels largePixels = ReadIconPixels(large.Get()), smallPixels = ReadIconPixels(small.Get());
    EXPECT_EQ(largePixels.width, LOWORD(row.sizes)) << "each icon has the side asked for";
    EXPECT_EQ(smallPixels.width, HIWORD(row.sizes));
    EXPECT_TRUE(!equal || (large.Get() != small.Get() && largePixels.argb == smallPixels.argb));
  }
}

TEST(IconCache, OverlappingObjectsShareImagesAndTheCacheOutlivesThem) {
  TempFolder folder;
  const std::wstring path = Placeholder(folder, L"report.docx.tmvs", "d10:kvx_statusi57ee");
  auto first = std::make_unique<IconObject>(path);
  first->Extract(MAKELONG(0, 16), false);
  TakeLoggedLines();
  std::make_unique<IconObject>(path)->Extract(MAKELONG(0, 16), false);
  EXPECT_TRUE(TakeLoggedLines().empty()) << "the 55 % mark comes from the cache";
  EXPECT_FALSE(CacheKeys().empty()) << "a released object leaves the cache alone";
  first->Extract(MAKELONG(0, 16), false);
  EXPECT_TRUE(TakeLoggedLines().empty()) << "still cached";
  first.reset();
  ReleaseIconImageCache();
  EXPECT_TRUE(CacheKeys().empty());
}

}  // namespace
