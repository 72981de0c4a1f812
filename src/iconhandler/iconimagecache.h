#pragma once
// The process-wide images of the icon handler: faded file-type images and
// status overlays, shared by the icon objects of every Explorer thread.
#include <windows.h>
#include <gdiplus.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "util/uniquehandle.h"

class IconImageCache {
 public:
  IconImageCache() = default;
  ~IconImageCache();
  IconImageCache(const IconImageCache&) = delete;
  IconImageCache& operator=(const IconImageCache&) = delete;

  Gdiplus::Bitmap* Find(const std::wstring& key) const;
  // Stores the image under the key, replacing (and deleting) an image held
  // there; returns the stored image.
  Gdiplus::Bitmap* Store(const std::wstring& key, std::unique_ptr<Gdiplus::Bitmap> image);
  void Clear();
  size_t Size() const { return images.size(); }
  std::vector<std::wstring> Keys() const;

 private:
  std::map<std::wstring, std::unique_ptr<Gdiplus::Bitmap>> images;
};

// Guarded by iconImageCacheLock, from the first lookup to the finished icon;
// the lock lives as long as the module is loaded.
extern CriticalSection iconImageCacheLock;
extern IconImageCache iconImageCache;
