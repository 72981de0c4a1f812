#pragma once
// Conversions between UTF-16 and UTF-8 (and the ANSI code page). None of
// them throws: a failure gives an empty result.
#include <cstddef>
#include <memory>
#include <string>

struct Utf8Text {
  std::unique_ptr<char[]> data;  // terminated; null when the conversion failed
  size_t length = 0;             // bytes without the terminator
};

struct WideText {
  std::unique_ptr<wchar_t[]> data;  // terminated; null when there is no result
  size_t length = 0;                // units without the terminator
};

// The terminated text as UTF-8; empty for null or on failure.
std::string Utf16ToUtf8(const wchar_t* text) noexcept;
Utf8Text Utf16ToUtf8Alloc(const wchar_t* text) noexcept;
// The terminated UTF-8 text as UTF-16; empty for null or on failure.
std::wstring Utf8ToUtf16(const char* text) noexcept;
// Code page 0 means UTF-8; length -1 means up to the terminator. When the
// conversion gives nothing it is repeated with the ANSI code page. A null
// text gives no result.
WideText MultiByteToUtf16(unsigned codePage, const char* text, ptrdiff_t length) noexcept;
