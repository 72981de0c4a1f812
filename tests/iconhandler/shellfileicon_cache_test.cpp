// The icon handler's process-wide image cache, watched from inside the
// process: which entries an icon is built from, what is drawn again, and
// that releasing an icon object empties the cache.
#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

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

// Released through COM like Explorer does; the destructor is not public to
// callers of the interface.
struct IconObject {
  ShellFileIcon* object = new ShellFileIcon();
  IExtractIconW* extract = nullptr;
  IconObject() { object->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(&extract)); }
  ~IconObject() {
    if (extract) extract->Release();
  }
  void Load(const std::wstring& path) {
    IPersistFile* file = nullptr;
    object->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    file->Load(path.c_str(), STGM_READ);
    file->Release();
  }
};

SIZE IconSize(HICON icon) {
  const Pixels pixels = ReadIconPixels(icon);
  return {pixels.width, pixels.height};
}

int ShellSmallIconSide() {
  SHFILEINFOW info{};
  SHGetFileInfoW(L"x.docx", FILE_ATTRIBUTE_NORMAL, &info, sizeof(info),
                 SHGFI_ICON | SHGFI_SMALLICON | SHGFI_USEFILEATTRIBUTES);
  const int side = ReadIconPixels(info.hIcon).width;
  DestroyIcon(info.hIcon);
  return side;
}

class IconCache : public ::testing::Test {
 protected:
  void SetUp() override {
    placeholder = folder / L"report.docx.tmvs";
    ASSERT_TRUE(WriteBytes(placeholder, ""));
    ASSERT_TRUE(WriteBytes(placeholder + L":com.tamvera.Sync", "d10:kvx_statusi57ee"));
    TakeLoggedLines();
  }

  TempFolder folder;
  std::wstring placeholder;
};

TEST_F(IconCache, DifferentSizesBuildFromBothSizeClasses) {
  IconObject icon;
  icon.Load(placeholder);
  HICON large = nullptr, small = nullptr;
  ASSERT_EQ(icon.extract->Extract(placeholder.c_str(), 0, &large, &small, MAKELONG(48, 16)), S_OK);
  UniqueIcon ownedLarge(large), ownedSmall(small);
  ASSERT_TRUE(large && small);
  EXPECT_EQ(CacheKeys(), (Keys{L".docxL", L".docxS", L"55L", L"55S"}));
  EXPECT_EQ(IconSize(large).cx, 256) << "the large class is the jumbo icon";
  EXPECT_EQ(IconSize(small).cx, ShellSmallIconSide());
  EXPECT_EQ(TakeLoggedLines(),
            (std::vector<std::wstring>{L"Drawing circle with 55 status", L"Drawing circle with 55 status"}));
}

TEST_F(IconCache, EqualSizesGiveTheSmallIconAndItsDuplicate) {
  IconObject icon;
  icon.Load(placeholder);
  HICON large = nullptr, small = nullptr;
  ASSERT_EQ(icon.extract->Extract(placeholder.c_str(), 0, &large, &small, MAKELONG(32, 32)), S_OK);
  UniqueIcon ownedLarge(large), ownedSmall(small);
  ASSERT_TRUE(large && small);
  EXPECT_NE(large, small);
  EXPECT_EQ(CacheKeys(), (Keys{L".docxS", L"55S"}));
  const Pixels largePixels = ReadIconPixels(large);
  EXPECT_EQ(largePixels.width, ShellSmallIconSide());
  EXPECT_EQ(largePixels.argb, ReadIconPixels(small).argb);
}

TEST_F(IconCache, OverlappingObjectsShareImagesAndAnyReleaseEmptiesTheCache) {
  auto first = std::make_unique<IconObject>();
  first->Load(placeholder);
  HICON icon = nullptr;
  ASSERT_EQ(first->extract->Extract(nullptr, 0, nullptr, &icon, MAKELONG(0, 16)), S_OK);
  DestroyIcon(icon);
  EXPECT_EQ(CacheKeys(), (Keys{L".docxS", L"55S"}));
  TakeLoggedLines();

  {
    IconObject second;
    second.Load(placeholder);
    ASSERT_EQ(second.extract->Extract(nullptr, 0, nullptr, &icon, MAKELONG(0, 16)), S_OK);
    DestroyIcon(icon);
    EXPECT_TRUE(TakeLoggedLines().empty()) << "the mark for 55 % comes from the cache";
  }
  EXPECT_TRUE(CacheKeys().empty()) << "the second object's release emptied the cache";

  ASSERT_EQ(first->extract->Extract(nullptr, 0, nullptr, &icon, MAKELONG(0, 16)), S_OK);
  DestroyIcon(icon);
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
  if (*GetParam().state) {
    ASSERT_TRUE(WriteBytes(path + L":com.tamvera.Sync", GetParam().state));
  }
  IconObject icon;
  icon.Load(path);
  HICON large = nullptr, small = nullptr;
  ASSERT_EQ(icon.extract->Extract(nullptr, 0, &large, &small, MAKELONG(0, 16)), S_OK);
  UniqueIcon ownedLarge(large), ownedSmall(small);
  EXPECT_TRUE(large && small);
  EXPECT_EQ(CacheKeys(), GetParam().keys);
}

INSTANTIATE_TEST_SUITE_P(
    Names, IconCacheKeys,
    ::testing::Values(NameCase{L"README.tmvs", "d10:kvx_statusi100ee", {L".L", L".S", L"100L", L"100S"}},
                      NameCase{L"REPORT.DOCX.TMVS", "d10:kvx_statusi5ee", {L".DOCXL", L".DOCXS", L"5L", L"5S"}},
                      NameCase{L"Photos.tmvs", "d8:kvx_typei2ee", {L".kvx2fldrL", L".kvx2fldrS", L"0L", L"0S"}},
                      NameCase{L"notes.txt.tmvs", "", {L".txtL", L".txtS", L"0L", L"0S"}}));

}  // namespace
