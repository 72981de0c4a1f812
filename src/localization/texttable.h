#pragma once
// The 308 user-visible texts, addressed by number.
#include <cstddef>

inline constexpr size_t textCount = 308;

// Current text of entry index (0-307), NUL-terminated; "" for other indices.
const wchar_t* GetText(size_t index);
