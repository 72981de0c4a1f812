#pragma once
// Owners for the GDI, USER and GDI+ resources of the icon and bitmap code.
#include <windows.h>
#include <gdiplus.h>

#include <memory>
#include <type_traits>

struct IconDeleter {
  void operator()(HICON icon) const { DestroyIcon(icon); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

struct GdiObjectDeleter {
  void operator()(HGDIOBJ object) const { DeleteObject(object); }
};
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;

struct MemoryDcDeleter {
  void operator()(HDC dc) const { DeleteDC(dc); }
};
using UniqueMemoryDc = std::unique_ptr<std::remove_pointer_t<HDC>, MemoryDcDeleter>;

// The screen's device context for as long as the object lives.
class ScreenDc {
 public:
  ScreenDc() : dc(GetDC(nullptr)) {}
  ~ScreenDc() { Release(); }
  ScreenDc(const ScreenDc&) = delete;
  ScreenDc& operator=(const ScreenDc&) = delete;

  HDC Get() const { return dc; }
  explicit operator bool() const { return dc != nullptr; }
  void Release() {
    if (dc) ReleaseDC(nullptr, dc);
    dc = nullptr;
  }

 private:
  HDC dc;
};

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
  bitmaps.color.reset(info.hbmColor);
  bitmaps.mask.reset(info.hbmMask);
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
