#pragma once
#include <windows.h>
#include <gdiplus.h>

#include <memory>
#include <string>

struct IconDeleter {
  void operator()(HICON icon) const { DestroyIcon(icon); }
};
using UniqueIcon = std::unique_ptr<std::remove_pointer_t<HICON>, IconDeleter>;

// The icon's colour bitmap read through GDI as a 32-bit ARGB image; the mask
// gives the alpha when the colour bitmap carries none. Null for no icon.
std::unique_ptr<Gdiplus::Bitmap> IconImage(HICON icon);

// Writes the image with GDI+'s PNG encoder; false when that fails.
bool SavePng(Gdiplus::Image& image, const std::wstring& path);
