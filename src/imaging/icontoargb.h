#pragma once
#include <windows.h>
#include <gdiplus.h>

#include <memory>

// The icon as an independent 32-bit ARGB image that keeps the icon's alpha;
// null when the icon cannot be read.
std::unique_ptr<Gdiplus::Bitmap> IconToArgbImage(HICON icon);
