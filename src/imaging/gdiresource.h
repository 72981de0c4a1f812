#pragma once
// Scoped GDI and GDI+ states of the icon and bitmap code; the owners of
// GDI handles are in util/uniquehandle.h.
#include <windows.h>
#include <gdiplus.h>

#include "util/uniquehandle.h"

// Selects an object into a device context and puts the previous one back.
class SelectedObject {
 public:
  SelectedObject(HDC dc, HGDIOBJ object) : dc(dc), previous(SelectObject(dc, object)) {}
  ~SelectedObject() {
    if (previous && previous != HGDI_ERROR) SelectObject(dc, previous);
  }
  SelectedObject(const SelectedObject&) = delete;
  SelectedObject& operator=(const SelectedObject&) = delete;

  bool Selected() const { return previous && previous != HGDI_ERROR; }

 private:
  HDC dc;
  HGDIOBJ previous;
};

// The colour and mask bitmaps GetIconInfo hands out, deleted together.
struct IconBitmaps {
  UniqueBitmap color;
  UniqueBitmap mask;
  bool valid = false;
};

inline IconBitmaps GetIconBitmaps(HICON icon) {
  ICONINFO info{};
  IconBitmaps bitmaps;
  if (!icon || !GetIconInfo(icon, &info)) return bitmaps;
  bitmaps.color.Reset(info.hbmColor);
  bitmaps.mask.Reset(info.hbmMask);
  bitmaps.valid = true;
  return bitmaps;
}

// Pixels of a GDI+ bitmap locked for the life of the object; Locked() is
// false when the lock failed, and then nothing is unlocked.
class LockedBits {
 public:
  LockedBits(Gdiplus::Bitmap& image, UINT mode, Gdiplus::PixelFormat format) : image(image) {
    Gdiplus::Rect area(0, 0, static_cast<INT>(image.GetWidth()), static_cast<INT>(image.GetHeight()));
    locked = image.LockBits(&area, mode, format, &data) == Gdiplus::Ok;
  }
  ~LockedBits() {
    if (locked) image.UnlockBits(&data);
  }
  LockedBits(const LockedBits&) = delete;
  LockedBits& operator=(const LockedBits&) = delete;

  bool Locked() const { return locked; }
  const Gdiplus::BitmapData& Data() const { return data; }
  BYTE* Row(UINT row) const {
    return static_cast<BYTE*>(data.Scan0) + static_cast<ptrdiff_t>(row) * data.Stride;
  }

 private:
  Gdiplus::Bitmap& image;
  Gdiplus::BitmapData data{};
  bool locked = false;
};
