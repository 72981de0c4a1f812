#include "contextmenu/sharedmenubitmaps.h"

#include <windows.h>

#include <optional>
#include <vector>

#include "imaging/gdipluslease.h"
#include "util/uniquehandle.h"

namespace {
// Sizes differ only when the display's DPI changed while Explorer ran, so
// the list stays short.
CriticalSection sharedBitmapsLock;
std::vector<std::shared_ptr<const MenuBitmaps>> sharedBitmaps;
std::optional<GdiplusLease> sharedBitmapsGdiplus;
}  // namespace

std::shared_ptr<const MenuBitmaps> SharedMenuBitmaps() {
  const int width = GetSystemMetrics(SM_CXMENUCHECK);
  const int height = GetSystemMetrics(SM_CYMENUCHECK);
  SectionLock lock(sharedBitmapsLock);
  for (const auto& bitmaps : sharedBitmaps)
    if (bitmaps->Width() == width && bitmaps->Height() == height) return bitmaps;
  if (!sharedBitmapsGdiplus) sharedBitmapsGdiplus.emplace();
  sharedBitmaps.reserve(sharedBitmaps.size() + 1);
  auto bitmaps = std::make_shared<const MenuBitmaps>(width, height);
  sharedBitmaps.push_back(bitmaps);
  return bitmaps;
}

void ReleaseSharedMenuBitmaps() {
  std::vector<std::shared_ptr<const MenuBitmaps>> released;
  {
    SectionLock lock(sharedBitmapsLock);
    released.swap(sharedBitmaps);
    // Once built, the bitmaps are plain GDI objects: GDI+ may stop before
    // the last holder lets go of them.
    sharedBitmapsGdiplus.reset();
  }
}
