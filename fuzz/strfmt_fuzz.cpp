// The formatter's data-driven conversions over fuzzed arguments, with
// formats from a fixed list. Checks that every sink clips the same output:
// a small buffer holds a prefix of the full text, the heap form agrees, and
// the wide format gives the narrow text widened.
#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bencode/bencentity.h"
#include "bencode/bencparser.h"
#include "shim/fuzzcheck.h"
#include "util/strfmt.h"

namespace {
enum class Args {
  Text,
  TextPrecision,  // precision argument, then the text (read exactly that far)
  OtherText,
  Bytes,           // a narrow text in either format width
  BytesPrecision,
  Char,
  Int32,
  WidthInt32,
  PrecisionInt32,
  WidthPrecisionInt32,
  Int64,
  Double,
  PrecisionDouble,
  Size32,
  Size64,
  Ipv6,
  Digest,
  Vector,
  Pointer,
  Dictionary,
  TextAndInt,
};

struct FormatEntry {
  const char* format;
  Args args;
};

const FormatEntry formats[] = {
    {"%s", Args::Text},          {"%-12s|", Args::Text},     {"%.5s", Args::Text},
    {"%e", Args::Bytes},         {"%17e", Args::Bytes},      {"%U", Args::Bytes},
    {"%-14U|", Args::Bytes},     {"%.0s", Args::Text},       {"%.*s", Args::TextPrecision},
    {"%.*e", Args::BytesPrecision}, {"%.*U", Args::BytesPrecision}, {"%.*m", Args::BytesPrecision},
    {"%S", Args::OtherText},     {"%10.3S", Args::OtherText}, {"%c", Args::Char},
    {"%-3c|", Args::Char},       {"%d", Args::Int32},        {"%+08d", Args::Int32},
    {"%-6i|", Args::Int32},      {"% d", Args::Int32},       {"%:.3d", Args::Int32},
    {"%#x", Args::Int32},        {"%X", Args::Int32},        {"%#o", Args::Int32},
    {"%b", Args::Int32},         {"%u", Args::Int32},        {"%ld", Args::Int32},
    {"%*d", Args::WidthInt32},   {"%-*x|", Args::WidthInt32}, {"%:.*d", Args::PrecisionInt32},
    {"%.*u", Args::PrecisionInt32}, {"%0*.*d", Args::WidthPrecisionInt32}, {"%:*.*i", Args::WidthPrecisionInt32},
    {"%Ld", Args::Int64},        {"%Lu", Args::Int64},       {"%#LX", Args::Int64},
    {"%:.4Ld", Args::Int64},     {"%Lb", Args::Int64},       {"%+020Ld", Args::Int64},
    {"%f", Args::Double},        {"%.2f", Args::Double},     {"%12.4f|", Args::Double},
    {"%+.0f", Args::Double},     {"%.30f", Args::Double},    {"%.*f", Args::PrecisionDouble},
    {"%z", Args::Size32},        {"%#z", Args::Size32},      {"%10z|", Args::Size32},
    {"%Z", Args::Size64},        {"%#Z", Args::Size64},      {"%-12Z|", Args::Size64},
    {"%V", Args::Ipv6},          {"%H", Args::Digest},       {"%h", Args::Digest},
    {"%B", Args::Vector},        {"%p", Args::Pointer},      {"%.12p", Args::Pointer},
    {"%D", Args::Dictionary},    {"%s=%d;", Args::TextAndInt}, {"[%q%s%", Args::Text},
};
constexpr size_t formatCount = sizeof formats / sizeof formats[0];
constexpr size_t fullSize = 1 << 17;

struct Material {
  uint64_t number = 0;
  std::string text;              // NUL-terminated through c_str()
  std::wstring wide;             // the same units, zero-extended
  std::vector<uint8_t> bytes;    // the text bytes
  uint8_t digest[20] = {};
  Ipv6Address address = {};
  BencEntity dictionary;
};

// Runs the format with the material's arguments through the formatter
// function; the wide and narrow runs take arguments of their own width.
template <typename Own, typename Other, typename Call>
void WithArgs(const FormatEntry& entry, const Material& m, const Own* text, const Other* other, Call call) {
  const auto narrowInt = static_cast<int>(static_cast<uint32_t>(m.number));
  const int width = static_cast<int>(m.number % 4097) - 2048;
  const int precision = static_cast<int>((m.number >> 16) % 64) - 8;
  const size_t textLength = m.text.size();
  const int exactPrecision = static_cast<int>(textLength ? (m.number >> 24) % (textLength + 1) : 0);
  double real;
  memcpy(&real, &m.number, sizeof real);
  switch (entry.args) {
    case Args::Text: return call(text);
    case Args::TextPrecision: return call(exactPrecision, text);
    case Args::OtherText: return call(other);
    case Args::Bytes: return call(m.text.c_str());
    case Args::BytesPrecision: return call(exactPrecision, m.text.c_str());
    case Args::Char: return call(static_cast<int>(m.number & 0xFF));
    case Args::Int32: return call(narrowInt);
    case Args::WidthInt32: return call(width, narrowInt);
    case Args::PrecisionInt32: return call(precision, narrowInt);
    case Args::WidthPrecisionInt32: return call(width, precision, narrowInt);
    case Args::Int64: return call(static_cast<int64_t>(m.number));
    case Args::Double: return call(real);
    case Args::PrecisionDouble: return call(precision, real);
    case Args::Size32: return call(static_cast<uint32_t>(m.number));
    case Args::Size64: return call(m.number);
    case Args::Ipv6: return call(m.address);
    case Args::Digest: return call(static_cast<const uint8_t*>(m.digest));
    case Args::Vector: return call(&m.bytes);
    case Args::Pointer: return call(reinterpret_cast<const void*>(static_cast<uintptr_t>(m.number)));
    case Args::Dictionary: return call(&m.dictionary);
    case Args::TextAndInt: return call(text, narrowInt);
  }
}

std::wstring Widen(const std::string& narrow) {
  std::wstring wide;
  for (const char c : narrow) wide += static_cast<wchar_t>(static_cast<unsigned char>(c));
  return wide;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 10) return 0;
  const FormatEntry& entry = formats[data[0] % formatCount];
  const size_t smallSize = data[1] % 40;
  Material m;
  memcpy(&m.number, data + 2, sizeof m.number);
  m.text.assign(reinterpret_cast<const char*>(data + 10), size - 10);
  m.text.resize(strnlen(m.text.c_str(), m.text.size()));
  m.wide = Widen(m.text);
  m.bytes.assign(data + 10, data + size);
  memcpy(m.digest, data + 10, size - 10 < sizeof m.digest ? size - 10 : sizeof m.digest);
  memcpy(m.address.bytes, data + 10, size - 10 < sizeof m.address.bytes ? size - 10 : sizeof m.address.bytes);
  BencParse(data + 10, data + size, m.dictionary);

  static char full[fullSize];
  static char small[40];
  static wchar_t wideFull[fullSize];
  static wchar_t wideSmall[40];
  std::wstring wideFormat = Widen(entry.format);

  size_t fullLength = 0;
  size_t smallLength = 0;
  std::string heap;
  WithArgs(entry, m, m.text.c_str(), m.wide.c_str(), [&](auto... args) {
    fullLength = FormatToBuffer(full, sizeof full, entry.format, args...);
    smallLength = FormatToBuffer(small, smallSize, entry.format, args...);
    heap = FormatString(entry.format, args...);
  });
  size_t wideLength = 0;
  size_t wideSmallLength = 0;
  std::wstring wideHeap;
  WithArgs(entry, m, m.wide.c_str(), m.text.c_str(), [&](auto... args) {
    wideLength = FormatWideToBuffer(wideFull, sizeof wideFull / sizeof wideFull[0], wideFormat.c_str(), args...);
    wideSmallLength = FormatWideToBuffer(wideSmall, smallSize, wideFormat.c_str(), args...);
    wideHeap = FormatWideString(wideFormat.c_str(), args...);
  });

  const std::string text(full, fullLength);
  Require(fullLength < sizeof full);
  Require(smallLength == (smallSize ? std::min(fullLength, smallSize - 1) : 0));
  Require(memcmp(small, full, smallLength) == 0);
  Require(heap == std::string(full, strnlen(full, fullLength)));
  Require(std::wstring(wideFull, wideLength) == Widen(text));
  Require(wideSmallLength == (smallSize ? std::min(wideLength, smallSize - 1) : 0));
  Require(wideHeap == std::wstring(wideFull, wcsnlen(wideFull, wideLength)));
  return 0;
}
