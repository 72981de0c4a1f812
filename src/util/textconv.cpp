#include "util/textconv.h"

#include <windows.h>

#include <climits>
#include <cwchar>
#include <new>

namespace {
// Converts length units (the terminator excluded) into a new terminated
// buffer; false on failure or when the text is too long for the API.
bool WideToUtf8(const wchar_t* text, size_t length, Utf8Text& out) {
  if (length > INT_MAX) return false;
  if (length == 0) {
    out.data.reset(new (std::nothrow) char[1]);
    if (!out.data) return false;
    out.data[0] = 0;
    out.length = 0;
    return true;
  }
  const int wide = static_cast<int>(length);
  const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, wide, nullptr, 0, nullptr, nullptr);
  if (bytes <= 0) return false;
  std::unique_ptr<char[]> buffer(new (std::nothrow) char[static_cast<size_t>(bytes) + 1]);
  if (!buffer) return false;
  if (WideCharToMultiByte(CP_UTF8, 0, text, wide, buffer.get(), bytes, nullptr, nullptr) != bytes) return false;
  buffer[bytes] = 0;
  out.data = std::move(buffer);
  out.length = static_cast<size_t>(bytes);
  return true;
}

bool ToWide(UINT codePage, const char* text, int length, WideText& out) {
  const int units = MultiByteToWideChar(codePage, 0, text, length, nullptr, 0);
  if (units <= 0) return false;
  std::unique_ptr<wchar_t[]> buffer(new (std::nothrow) wchar_t[static_cast<size_t>(units) + 1]);
  if (!buffer) return false;
  if (MultiByteToWideChar(codePage, 0, text, length, buffer.get(), units) != units) return false;
  buffer[units] = 0;
  out.data = std::move(buffer);
  out.length = static_cast<size_t>(units);
  return true;
}
}  // namespace

Utf8Text Utf16ToUtf8Alloc(const wchar_t* text) noexcept {
  Utf8Text out;
  if (text && !WideToUtf8(text, wcslen(text), out)) out = Utf8Text();
  return out;
}

std::string Utf16ToUtf8(const wchar_t* text) noexcept {
  const Utf8Text utf8 = Utf16ToUtf8Alloc(text);
  if (!utf8.data) return {};
  try {
    return std::string(utf8.data.get(), utf8.length);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::wstring Utf8ToUtf16(const char* text) noexcept {
  if (!text || !*text) return {};
  const size_t length = strlen(text);
  WideText wide;
  if (length > INT_MAX || !ToWide(CP_UTF8, text, static_cast<int>(length), wide)) return {};
  try {
    return std::wstring(wide.data.get(), wide.length);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

WideText MultiByteToUtf16(unsigned codePage, const char* text, ptrdiff_t length) noexcept {
  WideText out;
  if (!text) return out;
  const size_t bytes = length < 0 ? strlen(text) : static_cast<size_t>(length);
  if (bytes > INT_MAX) return out;
  if (bytes == 0) {
    out.data.reset(new (std::nothrow) wchar_t[1]);
    if (out.data) out.data[0] = 0;
    return out;
  }
  const UINT page = codePage == 0 ? CP_UTF8 : codePage;
  if (!ToWide(page, text, static_cast<int>(bytes), out) && !ToWide(CP_ACP, text, static_cast<int>(bytes), out)) {
    out = WideText();
  }
  return out;
}
