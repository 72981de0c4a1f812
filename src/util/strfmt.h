#pragma once
// The system's own printf dialect (see the conversion table in the docs of
// FormatToBuffer's implementation). Never throws; output is clipped to the sink.
#include <cstdarg>
#include <cstddef>
#include <string>

struct ByteBuffer;

size_t FormatToBuffer(char* buffer, size_t size, const char* format, ...);
size_t FormatToBufferV(char* buffer, size_t size, const char* format, va_list args);
size_t FormatWideToBuffer(wchar_t* buffer, size_t size, const wchar_t* format, ...);
size_t FormatWideToBufferV(wchar_t* buffer, size_t size, const wchar_t* format, va_list args);

// Heap results (at most 1,048,576 units); the caller frees with free().
char* FormatAlloc(const char* format, va_list args);
wchar_t* FormatWideAlloc(const wchar_t* format, va_list args);

std::string FormatString(const char* format, ...);
std::wstring FormatWideString(const wchar_t* format, ...);
std::wstring FormatWideStringV(const wchar_t* format, va_list args);

// Formats (at most 32,767 characters) and appends to the buffer.
void AppendFormat(ByteBuffer& buffer, const char* format, ...);
