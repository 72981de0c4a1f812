// In process: the image cache's bound and its lifetime apart from the icon
// objects.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "iconhandler/iconimagecache.h"

namespace {

std::shared_ptr<const ArgbPixels> Image(uint32_t color) {
  auto image = std::make_shared<ArgbPixels>();
  image->width = image->height = 1;
  image->argb = {color};
  return image;
}

// Entry 0 is looked up again before the cache overflows, so entry 1 is the
// least recently used when the first one too many arrives.
TEST(IconImageCacheBound, HoldsAtMostItsCapacityAndDropsTheLeastRecentlyUsed) {
  IconImageCache cache;
  const size_t total = IconImageCache::capacity + 44;
  std::shared_ptr<const ArgbPixels> first, second;
  for (uint32_t index = 0; index < total; ++index) {
    const auto stored = cache.Store(std::to_wstring(index), Image(index));
    if (index == 0) first = stored;
    if (index == 1) second = stored;
    if (index + 1 == IconImageCache::capacity) {
      EXPECT_EQ(cache.Find(L"0"), first);
    }
    EXPECT_LE(cache.Size(), IconImageCache::capacity);
  }
  EXPECT_EQ(cache.Size(), IconImageCache::capacity);
  EXPECT_EQ(cache.Find(L"0"), first);
  EXPECT_EQ(cache.Find(L"1"), nullptr);
  EXPECT_EQ(cache.Find(std::to_wstring(total - 1))->argb[0], total - 1);
  EXPECT_EQ(second->argb[0], 1u) << "an image dropped while in use stays alive";
  EXPECT_EQ(cache.Store(L"0", Image(7)), first) << "the first image stored under a key stays";
  EXPECT_TRUE(cache.Clear()) << "the cache held GDI+ while it held images";
  EXPECT_EQ(cache.Size(), 0u);
  EXPECT_FALSE(cache.Clear());
}

TEST(IconImageCacheBound, ReleaseEmptiesTheProcessCache) {
  {
    SectionLock lock(iconImageCacheLock);
    iconImageCache.Store(L".txt@16", Image(1));
  }
  ReleaseIconImageCache();
  SectionLock lock(iconImageCacheLock);
  EXPECT_EQ(iconImageCache.Size(), 0u);
}

}  // namespace
