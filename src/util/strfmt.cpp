#include "util/strfmt.h"

#include <new>

#include "util/strfmtsink.h"

namespace {
constexpr size_t heapLimit = 1048576;

// Room for the terminator is kept back; nothing is written without room.
template <typename Char>
size_t FormatToFixed(Char* buffer, size_t size, const Char* format, va_list args) {
  if (!buffer || size == 0) return 0;
  FixedSink<Char> sink(buffer, size - 1);
  RunFormat(sink, format, args);
  return sink.Finish();
}
}  // namespace

size_t FormatToBufferV(char* buffer, size_t size, const char* format, va_list args) {
  return FormatToFixed(buffer, size, format, args);
}

size_t FormatToBuffer(char* buffer, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const size_t written = FormatToBufferV(buffer, size, format, args);
  va_end(args);
  return written;
}

size_t FormatWideToBufferV(wchar_t* buffer, size_t size, const wchar_t* format, va_list args) {
  return FormatToFixed(buffer, size, format, args);
}

size_t FormatWideToBuffer(wchar_t* buffer, size_t size, const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  const size_t written = FormatWideToBufferV(buffer, size, format, args);
  va_end(args);
  return written;
}

char* FormatAlloc(const char* format, va_list args) {
  HeapSink<char> sink(heapLimit);
  RunFormat(sink, format, args);
  return sink.Take();
}

wchar_t* FormatWideAlloc(const wchar_t* format, va_list args) {
  HeapSink<wchar_t> sink(heapLimit);
  RunFormat(sink, format, args);
  return sink.Take();
}

namespace {
// The formatter's heap text as a string; empty when either allocation fails.
template <typename Char>
std::basic_string<Char> TakeHeapText(Char* text) {
  std::basic_string<Char> result;
  if (text) {
    try {
      result = text;
    } catch (const std::bad_alloc&) {
      result.clear();
    }
    free(text);
  }
  return result;
}
}  // namespace

std::string FormatStringV(const char* format, va_list args) { return TakeHeapText(FormatAlloc(format, args)); }

std::string FormatString(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string result = FormatStringV(format, args);
  va_end(args);
  return result;
}

std::wstring FormatWideStringV(const wchar_t* format, va_list args) {
  return TakeHeapText(FormatWideAlloc(format, args));
}

std::wstring FormatWideString(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  std::wstring result = FormatWideStringV(format, args);
  va_end(args);
  return result;
}
