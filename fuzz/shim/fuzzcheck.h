// What the targets share: a failed check ends the run (libFuzzer keeps the
// input), and input bytes read as little-endian UTF-16 units.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

inline void Require(bool condition) {
  if (!condition) abort();
}

// A trailing odd byte is dropped.
inline std::wstring Utf16Units(const uint8_t* data, size_t size) {
  std::wstring text;
  for (size_t i = 0; i + 1 < size; i += 2) text.push_back(static_cast<wchar_t>(data[i] | data[i + 1] << 8));
  return text;
}
