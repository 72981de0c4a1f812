// The process-wide image cache seen from inside the process: which entries
// an icon is built from, what is drawn again, and that releasing any icon
// object empties it.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "iconhandler/iconimagecache.h"
#include "iconhandler/iconpixels.h"
#include "iconhandler/logcapture.h"
#include "iconhandler/shellfileicon.h"
#include "support/testfiles.h"

namespace {

using Keys = std::vector<std::wstring>;

Keys CacheKeys() {
  SectionLock lock(iconImageCacheLock);
  return iconImageCache.Keys();
}

// An icon object held and released through its interface, as Explorer does.
class IconObject {
 public:
  explicit IconObject(const std::wstring& path) {
    (new ShellFileIcon())->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(&extract));
    IPersistFile* file = nullptr;
    extract->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    file->Load(path.c_str(), STGM_READ);
    file->Release();
  }
  ~IconObject() { extract->Release(); }

  // The two icons for the sizes; each null pointer asks for no icon.
  std::pair<UniqueIcon, UniqueIcon> Extract(UINT sizes, bool wantLarge = true) {
    HICON large = nullptr, small = nullptr;
    EXPECT_EQ(extract->Extract(nullptr, 0, wantLarge ? &large : nullptr, &small, sizes), S_OK);
    return {UniqueIcon(large), UniqueIcon(small)};
  }

 private:
  IExtractIconW* extract = nullptr;
};

int ShellSmallIconSide() {
  SHFILEINFOW info{};
  SHGetFileInfoW(L"x.docx", FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                 SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES);
  UniqueIcon icon(info.hIcon);
  return ReadIconPixels(icon.get()).width;
}

class IconCache : public ::testing::Test {
 protected:
  // A placeholder of report.docx at 57 %, which shows as 55 %.
  void SetUp() override {
    ASSERT_TRUE(WriteBytes(placeholder, ""));
    ASSERT_TRUE(WriteBytes(placeholder + L":com.tamvera.Sync", "d10:kvx_statusi57ee"));
    TakeLoggedLines();
  }

  TempFolder folder;
  const std::wstring placeholder = folder / L"report.docx.tmvs";
};

TEST_F(IconCache, DifferentSizesBuildFromBothSizeClasses) {
  IconObject object(placeholder);
  const auto [large, small] = object.Extract(MAKELONG(48, 16));
  EXPECT_EQ(CacheKeys(), (Keys{L".docxL", L".docxS", L"55L", L"55S"}));
  EXPECT_EQ(ReadIconPixels(large.get()).width, 256) << "the large class is the jumbo icon";
  EXPECT_EQ(ReadIconPixels(small.get()).width, ShellSmallIconSide());
  EXPECT_EQ(TakeLoggedLines(), (Keys{L"Drawing circle with 55 status", L"Drawing circle with 55 status"}));
}

TEST_F(IconCache, EqualSizesGiveTheSmallIconAndItsDuplicate) {
  IconObject object(placeholder);
  const auto [large, small] = object.Extract(MAKELONG(32, 32));
  ASSERT_TRUE(large && small);
  EXPECT_NE(large.get(), small.get());
  EXPECT_EQ(CacheKeys(), (Keys{L".docxS", L"55S"}));
  EXPECT_EQ(ReadIconPixels(large.get()).width, ShellSmallIconSide());
  EXPECT_EQ(ReadIconPixels(large.get()).argb, ReadIconPixels(small.get()).argb);
}

TEST_F(IconCache, OverlappingObjectsShareImagesAndAnyReleaseEmptiesTheCache) {
  auto first = std::make_unique<IconObject>(placeholder);
  first->Extract(MAKELONG(0, 16), false);
  TakeLoggedLines();
  {
    IconObject second(placeholder);
    second.Extract(MAKELONG(0, 16), false);
    EXPECT_TRUE(TakeLoggedLines().empty()) << "the 55 % mark comes from the cache";
  }
  EXPECT_TRUE(CacheKeys().empty());
  first->Extract(MAKELONG(0, 16), false);
  EXPECT_EQ(TakeLoggedLines().size(), 1u) << "drawn again after the cache was emptied";
  first.reset();
  EXPECT_TRUE(CacheKeys().empty());
}

struct NameCase {
  const wchar_t* fileName;
  const char* state;
  Keys keys;
};

class IconCacheKeys : public ::testing::TestWithParam<NameCase> {};

TEST_P(IconCacheKeys, FollowTheNameThePlaceholderStandsFor) {
  TempFolder folder;
  const std::wstring path = folder / GetParam().fileName;
  ASSERT_TRUE(WriteBytes(path, ""));
  ASSERT_TRUE(!*GetParam().state || WriteBytes(path + L":com.tamvera.Sync", GetParam().state));
  IconObject object(path);
  const auto icons = object.Extract(MAKELONG(0, 16));
  EXPECT_TRUE(icons.first && icons.second);
  EXPECT_EQ(CacheKeys(), GetParam().keys);
}

INSTANTIATE_TEST_SUITE_P(
    Names, IconCacheKeys,
    ::testing::Values(NameCase{L"README.tmvs", "d10:kvx_statusi100ee", {L".L", L".S", L"100L", L"100S"}},
                      NameCase{L"REPORT.DOCX.TMVS", "d10:kvx_statusi5ee", {L".DOCXL", L".DOCXS", L"5L", L"5S"}},
                      NameCase{L"Photos.tmvs", "d8:kvx_typei2ee", {L".kvx2fldrL", L".kvx2fldrS", L"0L", L"0S"}},
                      NameCase{L"notes.txt.tmvs", "", {L".txtL", L".txtS", L"0L", L"0S"}}));

}  // namespace
