#include "iconhandler/iconimagecache.h"

#include <algorithm>

CriticalSection iconImageCacheLock;
IconImageCache iconImageCache;

IconImageCache::~IconImageCache() {
  // Still held at unload: the host never asked DllCanUnloadNow. GDI+ must
  // not be shut down from DllMain, so the lease is abandoned.
  static_cast<void>(lease.release());
}

std::shared_ptr<const ArgbPixels> IconImageCache::Find(const std::wstring& key) {
  const auto found = images.find(key);
  if (found == images.end()) return nullptr;
  found->second.lastUse = ++useClock;
  return found->second.image;
}

std::shared_ptr<const ArgbPixels> IconImageCache::Store(const std::wstring& key,
                                                        std::shared_ptr<const ArgbPixels> image) {
  if (!image) return nullptr;
  if (auto held = Find(key)) return held;
  if (!lease) lease = std::make_unique<GdiplusLease>();
  if (images.size() >= capacity) {
    const auto oldest = std::min_element(images.begin(), images.end(), [](const auto& left, const auto& right) {
      return left.second.lastUse < right.second.lastUse;
    });
    images.erase(oldest);  // a thread still drawing it keeps its own reference
  }
  images[key] = Entry{image, ++useClock};
  return image;
}

std::unique_ptr<GdiplusLease> IconImageCache::Clear() {
  images.clear();
  return std::move(lease);
}

std::vector<std::wstring> IconImageCache::Keys() const {
  std::vector<std::wstring> keys;
  keys.reserve(images.size());
  for (const auto& entry : images) keys.push_back(entry.first);
  return keys;
}

void ReleaseIconImageCache() {
  std::unique_ptr<GdiplusLease> lease;
  {
    SectionLock lock(iconImageCacheLock);
    lease = iconImageCache.Clear();
  }
}
