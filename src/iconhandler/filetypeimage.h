#pragma once
#include <windows.h>
#include <gdiplus.h>

#include <memory>
#include <string>

// The shell's icon for a name of that type (a folder when isFolder) as a
// 32-bit ARGB image of side x side pixels, scaled from the shell's image
// list nearest at or above that side; null when the shell has none. The
// named file itself is never opened: only its extension and kind count.
std::unique_ptr<Gdiplus::Bitmap> LoadFileTypeImage(const std::wstring& name, UINT side, bool isFolder);
