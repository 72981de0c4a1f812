#pragma once
// The image operations behind a placeholder's icon: washing the file-type
// image out, drawing the status mark, and laying the mark over a copy.
#include <windows.h>
#include <gdiplus.h>

#include <cstdint>
#include <memory>

#include "imaging/argbpixels.h"
#include "imaging/gdiresource.h"

// Moves every colour byte toward white by the amount (clamped to 0..1);
// alpha stays. An image that cannot be locked is left as it is.
void FadeTowardWhite(Gdiplus::Bitmap* image, float amount);

// Draws the disc, the ring and the progress arc; a negative progress draws
// nothing.
void DrawStatusCircle(Gdiplus::Bitmap* image, int32_t progress);

// A transparent image of the given size and format carrying only the mark;
// null when GDI+ cannot create it.
std::unique_ptr<Gdiplus::Bitmap> CreateStatusOverlay(UINT width, UINT height, Gdiplus::PixelFormat format,
                                                     int32_t progress);

// The overlay blended over a copy of the faded image, as an icon; the two
// images are left as they were. Null when no copy can be made.
UniqueIcon ComposeStatusIcon(Gdiplus::Bitmap* faded, Gdiplus::Bitmap* overlay);

// The same from shared pixels, which stay as they are: each call draws on
// bitmaps of its own. Null when GDI+ cannot make them.
UniqueIcon ComposeStatusIcon(const ArgbPixels& faded, const ArgbPixels* overlay);
