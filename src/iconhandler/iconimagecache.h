#pragma once
// The process-wide images of the icon handler: faded file-type images and
// status overlays by type or progress and by side, shared by the icon
// objects of every Explorer thread and kept until the module may unload.
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "imaging/argbpixels.h"
#include "imaging/gdipluslease.h"
#include "util/uniquehandle.h"

class IconImageCache {
 public:
  static constexpr size_t capacity = 256;

  IconImageCache() = default;
  ~IconImageCache();
  IconImageCache(const IconImageCache&) = delete;
  IconImageCache& operator=(const IconImageCache&) = delete;

  // The image under the key, now the most recently used; null when none.
  std::shared_ptr<const ArgbPixels> Find(const std::wstring& key);
  // Keeps the image under the key unless another thread stored one first,
  // dropping the least recently used beyond the capacity; returns the image
  // held. GDI+ stays started while any image is held.
  std::shared_ptr<const ArgbPixels> Store(const std::wstring& key, std::shared_ptr<const ArgbPixels> image);
  // Empties the cache; its GDI+ lease comes back, to be dropped outside
  // the lock.
  std::unique_ptr<GdiplusLease> Clear();
  size_t Size() const { return images.size(); }
  std::vector<std::wstring> Keys() const;

 private:
  struct Entry {
    std::shared_ptr<const ArgbPixels> image;
    uint64_t lastUse = 0;
  };
  std::map<std::wstring, Entry> images;
  uint64_t useClock = 0;
  std::unique_ptr<GdiplusLease> lease;
};

// Guards lookups and inserts only: the images are immutable, so building
// and drawing happen outside it. The lock lives as long as the module.
extern CriticalSection iconImageCacheLock;
extern IconImageCache iconImageCache;

// Empties the cache and lets GDI+ shut down if the cache held it; for
// DllCanUnloadNow, once no object is left.
void ReleaseIconImageCache();
