#pragma once
#include <windows.h>
#include <gdiplus.h>

#include "imaging/gdiresource.h"

// An icon of the image's size whose transparency is the image's alpha. An
// image that is not 32-bit ARGB gives a white icon; no image gives null.
UniqueIcon ArgbImageToIcon(Gdiplus::Bitmap* image);
