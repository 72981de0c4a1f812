#pragma once
// The four menu-entry bitmaps at one size.
#include <windows.h>

#include <array>

#include "util/uniquehandle.h"

class MenuBitmaps {
 public:
  static constexpr size_t slotCount = 4;
  // The sync icon of slot 0, also the program's own icon.
  static constexpr WORD applicationIconGroup = 110;

  // Builds every slot at width x height: the icon file beside the DLL when
  // it loads, else the DLL's own icon resource; a slot whose image cannot be
  // made stays null. GDI+ must be running.
  MenuBitmaps(int width, int height);
  MenuBitmaps(const MenuBitmaps&) = delete;
  MenuBitmaps& operator=(const MenuBitmaps&) = delete;

  // The DLL's icon resource of a slot (0 for a slot out of range); the
  // packaged menu names the same icons.
  static WORD IconGroup(size_t slot);

  // Null for an empty slot or a slot number out of range.
  HBITMAP Slot(size_t slot) const { return slot < slotCount ? bitmaps[slot].Get() : nullptr; }
  int Width() const { return width; }
  int Height() const { return height; }

 private:
  int width;
  int height;
  std::array<UniqueBitmap, slotCount> bitmaps;
};
