#pragma once
#include <windows.h>
#include <gdiplus.h>

#include <memory>
#include <string>

#include "iconhandler/iconimagekeys.h"

// The shell's icon for a name of that type (a folder when isFolder) as a
// 32-bit ARGB image; null when the shell has none. The named file itself is
// never opened: only its extension and kind count.
std::unique_ptr<Gdiplus::Bitmap> LoadFileTypeImage(const std::wstring& name, IconSizeClass sizeClass,
                                                   bool isFolder);
