#include "iconhandler/iconimagecache.h"

CriticalSection iconImageCacheLock;
IconImageCache iconImageCache;

IconImageCache::~IconImageCache() {
  // Every icon object empties the cache when it goes. Images still here at
  // unload belong to objects the host never released; GDI+ may be shut down
  // already, so they are abandoned rather than disposed.
  for (auto& entry : images) static_cast<void>(entry.second.release());
}

Gdiplus::Bitmap* IconImageCache::Find(const std::wstring& key) const {
  const auto found = images.find(key);
  return found == images.end() ? nullptr : found->second.get();
}

Gdiplus::Bitmap* IconImageCache::Store(const std::wstring& key, std::unique_ptr<Gdiplus::Bitmap> image) {
  auto& slot = images[key];
  slot = std::move(image);
  return slot.get();
}

void IconImageCache::Clear() { images.clear(); }

std::vector<std::wstring> IconImageCache::Keys() const {
  std::vector<std::wstring> keys;
  keys.reserve(images.size());
  for (const auto& entry : images) keys.push_back(entry.first);
  return keys;
}
