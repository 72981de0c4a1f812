#pragma once
// Keys of the icon handler's image cache; no Windows calls.
#include <cstdint>
#include <string>
#include <string_view>

// Large is the shell's 256-pixel jumbo icon, small the shell's small icon.
enum class IconSizeClass { Large, Small };

// The text from the name's last "." on ("." when it has none), then the
// class letter.
std::wstring FileTypeImageKey(std::wstring_view name, IconSizeClass sizeClass);

// The progress in decimal, then the class letter.
std::wstring OverlayImageKey(int32_t progress, IconSizeClass sizeClass);
