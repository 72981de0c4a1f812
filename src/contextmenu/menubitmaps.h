#pragma once
// The four menu-entry bitmaps of one menu object, at the check-mark size.
#include <windows.h>

#include <array>

#include "util/uniquehandle.h"

class MenuBitmaps {
 public:
  static constexpr size_t slotCount = 4;

  // Builds every slot: the icon file beside the DLL when it loads, else the
  // DLL's own icon resource; a slot whose image cannot be made stays null.
  MenuBitmaps();
  MenuBitmaps(const MenuBitmaps&) = delete;
  MenuBitmaps& operator=(const MenuBitmaps&) = delete;

  // Null for an empty slot or a slot number out of range.
  HBITMAP Slot(size_t slot) const { return slot < slotCount ? bitmaps[slot].Get() : nullptr; }

 private:
  std::array<UniqueBitmap, slotCount> bitmaps;
};
