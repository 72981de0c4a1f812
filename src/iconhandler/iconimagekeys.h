#pragma once
// Keys of the icon handler's image cache; no Windows calls.
#include <cstdint>
#include <string>
#include <string_view>

// The text from the name's last "." on ("." when it has none), then "@" and
// the side in pixels. The side follows the last "@", so no two types or
// sides share a key.
std::wstring FileTypeImageKey(std::wstring_view name, unsigned side);

// The progress in decimal, then "@" and the side; it starts with a digit
// where the type keys start with ".".
std::wstring OverlayImageKey(int32_t progress, unsigned side);
