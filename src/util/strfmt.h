#pragma once
// The system's own printf dialect, narrow and wide. Never throws; output is
// clipped to the sink. Besides the usual conversions (with the length 'L'
// for 64-bit integers and the flag ':' for fixed point) it knows:
//   %m  raw bytes, exactly the precision        (const void*)
//   %e  every byte as %xx; %U URL form          (const char*)
//   %B  a byte vector, first 1024 bytes in hex  (const std::vector<uint8_t>*)
//   %H  %h a 20-byte digest in hex              (const uint8_t*)
//   %I  IPv4 in host order                      (uint32_t)
//   %V  IPv6                                    (Ipv6Address by value)
//   %a  %A a socket address, %A with its port   (const sockaddr*)
//   %z  %Z a size with unit                     (uint32_t, uint64_t)
//   %D  a bencoded dictionary                   (const BencEntity*)
// A format that ends inside a conversion specification ends the run there.
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <string>

struct ByteBuffer;

struct Ipv6Address {
  uint8_t bytes[16];
};

size_t FormatToBuffer(char* buffer, size_t size, const char* format, ...);
size_t FormatToBufferV(char* buffer, size_t size, const char* format, va_list args);
size_t FormatWideToBuffer(wchar_t* buffer, size_t size, const wchar_t* format, ...);
size_t FormatWideToBufferV(wchar_t* buffer, size_t size, const wchar_t* format, va_list args);

// Heap results (at most 1,048,576 units); the caller frees with free().
// Null only when no memory could be had.
char* FormatAlloc(const char* format, va_list args);
wchar_t* FormatWideAlloc(const wchar_t* format, va_list args);

std::string FormatString(const char* format, ...);
std::string FormatStringV(const char* format, va_list args);
std::wstring FormatWideString(const wchar_t* format, ...);
std::wstring FormatWideStringV(const wchar_t* format, va_list args);

// Formats (at most 32,767 characters) and appends to the buffer.
void AppendFormat(ByteBuffer& buffer, const char* format, ...);
