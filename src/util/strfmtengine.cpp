// The format engine: one run over a narrow or wide format.
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <vector>

#include "util/sizeunits.h"
#include "util/strfmt.h"
#include "util/strfmtbencode.h"
#include "util/strfmtnet.h"
#include "util/strfmtnumbers.h"
#include "util/strfmtsink.h"

namespace {
constexpr size_t countLimit = 0x7FFFFFFF;
const char lowerDigits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
const char upperDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";
const char lowerHex[] = "0123456789abcdef";
const char upperHex[] = "0123456789ABCDEF";

// va_list cannot be handed between functions by value portably; the run
// keeps its own copy in here and passes it by reference.
struct ArgList {
  va_list list;
};

struct Directive {
  bool left = false;
  bool plus = false;
  bool blank = false;
  bool alternate = false;
  bool zero = false;
  bool fixedPoint = false;
  size_t width = 0;
  bool hasPrecision = false;
  size_t precision = 0;
  bool long64 = false;
};

bool Write(FormatSink& sink, const char* text, size_t length) { return sink.Narrow(text, length); }
bool Write(FormatSink& sink, const wchar_t* text, size_t length) { return sink.Wide(text, length); }

size_t BoundedLength(const char* text, size_t bound) {
  const void* nul = memchr(text, 0, bound);
  return nul ? static_cast<size_t>(static_cast<const char*>(nul) - text) : bound;
}

size_t BoundedLength(const wchar_t* text, size_t bound) {
  const wchar_t* nul = wmemchr(text, 0, bound);
  return nul ? static_cast<size_t>(nul - text) : bound;
}

size_t FullLength(const char* text) { return strlen(text); }
size_t FullLength(const wchar_t* text) { return wcslen(text); }

// Blanks before the text, or after it with '-'; an empty text prints
// nothing, not even the blanks.
template <typename Unit>
bool Padded(FormatSink& sink, const Directive& directive, const Unit* text, size_t length) {
  if (length == 0) return true;
  const size_t pad = directive.width > length ? directive.width - length : 0;
  if (!directive.left && !sink.Repeat(' ', pad)) return false;
  if (!Write(sink, text, length)) return false;
  return !directive.left || sink.Repeat(' ', pad);
}

// Pointers below 65536 are no pointers but small integers passed by mistake.
bool IsBadPointer(const void* pointer) { return reinterpret_cast<uintptr_t>(pointer) < 65536; }

// "<NULL>" or "<ERROR>" for a bad string argument; true when it printed one.
bool BadStringArgument(FormatSink& sink, const Directive& directive, const void* pointer, bool* result) {
  if (!pointer) {
    *result = Padded(sink, directive, "<NULL>", 6);
    return true;
  }
  if (IsBadPointer(pointer)) {
    *result = Padded(sink, directive, "<ERROR>", 7);
    return true;
  }
  return false;
}

template <typename Unit>
bool StringConversion(FormatSink& sink, const Directive& directive, const Unit* text) {
  bool result = true;
  if (BadStringArgument(sink, directive, text, &result)) return result;
  const size_t length = directive.hasPrecision ? BoundedLength(text, directive.precision) : FullLength(text);
  return Padded(sink, directive, text, length);
}

// Integer layout: blanks, sign, "0x", zeros, digits (with the fixed point),
// blanks.
bool Integer(FormatSink& sink, const Directive& directive, uint64_t magnitude, bool negative, bool isSigned, unsigned radix,
             bool upper, bool prefix, size_t minimumDigits) {
  char area[100];
  size_t count = 0;
  const char* table = upper ? upperDigits : lowerDigits;
  do {
    area[sizeof area - 1 - count++] = table[magnitude % radix];
    magnitude /= radix;
  } while (magnitude);
  const char* digits = area + sizeof area - count;

  char sign = 0;
  if (isSigned) {
    if (negative) {
      sign = '-';
    } else if (directive.plus) {
      sign = '+';
    } else if (directive.blank) {
      sign = ' ';
    }
  }
  const bool point = directive.fixedPoint && directive.hasPrecision && directive.precision > 0;
  size_t zerosInFront = 0;
  size_t body = 0;
  if (point) {
    body = count > directive.precision ? count + 1 : directive.precision + 2;
    zerosInFront = count > directive.precision ? 0 : directive.precision - count;
  } else {
    zerosInFront = minimumDigits > count ? minimumDigits - count : 0;
    body = zerosInFront + count;
  }
  const size_t total = (sign ? 1 : 0) + (prefix ? 2 : 0) + body;
  const size_t pad = directive.width > total ? directive.width - total : 0;
  const bool zeroPad = directive.zero && !directive.left;

  if (!directive.left && !zeroPad && !sink.Repeat(' ', pad)) return false;
  if (sign && !sink.Narrow(&sign, 1)) return false;
  if (prefix && !sink.Narrow("0x", 2)) return false;
  if (zeroPad && !sink.Repeat('0', pad)) return false;
  if (point) {
    if (count > directive.precision) {
      const size_t whole = count - directive.precision;
      if (!sink.Narrow(digits, whole) || !sink.Narrow(".", 1) || !sink.Narrow(digits + whole, directive.precision)) {
        return false;
      }
    } else if (!sink.Narrow("0.", 2) || !sink.Repeat('0', zerosInFront) || !sink.Narrow(digits, count)) {
      return false;
    }
  } else if (!sink.Repeat('0', zerosInFront) || !sink.Narrow(digits, count)) {
    return false;
  }
  return !directive.left || sink.Repeat(' ', pad);
}

bool Fixed(FormatSink& sink, const Directive& directive, double value) {
  const size_t precision = directive.hasPrecision ? directive.precision : 6;
  const FixedText text = MakeFixedText(value, precision, directive.plus, directive.blank);
  const size_t total = text.headLength + text.fractionLength + text.zeros;
  if (!sink.Narrow(text.head, text.headLength)) return false;
  if (!sink.Narrow(text.fraction, text.fractionLength) || !sink.Repeat('0', text.zeros)) return false;
  return sink.Repeat(' ', directive.width > total ? directive.width - total : 0);
}

// Bytes as escapes through a fixed chunk, so no area grows with the input.
enum class ByteForm { Percent, Url, HexUpper, HexLower };

bool IsUrlSafe(unsigned char byte) {
  return (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z') || (byte >= '0' && byte <= '9') ||
         byte == '-' || byte == '_' || byte == '.' || byte == '~' || byte == '/';
}

uint64_t EncodedLength(const unsigned char* bytes, size_t length, ByteForm form) {
  if (form != ByteForm::Url) return static_cast<uint64_t>(length) * (form == ByteForm::Percent ? 3 : 2);
  uint64_t total = 0;
  for (size_t i = 0; i < length; ++i) total += IsUrlSafe(bytes[i]) ? 1 : 3;
  return total;
}

bool EncodedBytes(FormatSink& sink, const unsigned char* bytes, size_t length, ByteForm form) {
  char chunk[192];
  size_t used = 0;
  const char* hex = form == ByteForm::HexUpper ? upperHex : lowerHex;
  for (size_t i = 0; i < length; ++i) {
    if (used + 3 > sizeof chunk) {
      if (!sink.Narrow(chunk, used)) return false;
      used = 0;
    }
    const unsigned char byte = bytes[i];
    if (form == ByteForm::Url && IsUrlSafe(byte)) {
      chunk[used++] = static_cast<char>(byte);
      continue;
    }
    if (form == ByteForm::Percent || form == ByteForm::Url) chunk[used++] = '%';
    chunk[used++] = hex[byte >> 4];
    chunk[used++] = hex[byte & 15];
  }
  return sink.Narrow(chunk, used);
}

// %e and %U: the whole text is padded like a string.
bool EscapedText(FormatSink& sink, const Directive& directive, const char* text, ByteForm form) {
  bool result = true;
  if (BadStringArgument(sink, directive, text, &result)) return result;
  const auto* bytes = reinterpret_cast<const unsigned char*>(text);
  const size_t length = directive.hasPrecision ? directive.precision : strlen(text);
  if (length == 0) return true;
  uint64_t pad = 0;
  if (directive.width) {
    const uint64_t total = EncodedLength(bytes, length, form);
    pad = directive.width > total ? directive.width - total : 0;
  }
  if (!directive.left && !sink.Repeat(' ', static_cast<size_t>(pad))) return false;
  if (!EncodedBytes(sink, bytes, length, form)) return false;
  return !directive.left || sink.Repeat(' ', static_cast<size_t>(pad));
}

bool Size(FormatSink& sink, const Directive& directive, uint64_t count, bool allowBytes) {
  const SizeText text = MakeSizeText(count, allowBytes, directive.alternate);
  wchar_t unit[16];
  const size_t unitLength = CopySizeUnitName(text.unit, unit, sizeof unit / sizeof unit[0]);
  const size_t total = text.length + 1 + unitLength;
  return sink.Narrow(text.number, text.length) && sink.Narrow(" ", 1) && sink.Wide(unit, unitLength) &&
         sink.Repeat(' ', directive.width > total ? directive.width - total : 0);
}

bool Ipv4(FormatSink& sink, const Directive& directive, uint32_t address) {
  char text[16];
  size_t length = 0;
  for (int shift = 24; shift >= 0; shift -= 8) {
    unsigned octet = (address >> shift) & 0xFF;
    char digits[3];
    size_t count = 0;
    do {
      digits[count++] = static_cast<char>('0' + octet % 10);
      octet /= 10;
    } while (octet);
    while (count) text[length++] = digits[--count];
    if (shift) text[length++] = '.';
  }
  return Padded(sink, directive, text, length);
}

bool AddressText(FormatSink& sink, const Directive& directive, bool converted, const char* text) {
  if (!converted) return Padded(sink, directive, "<ERROR>", 7);
  return Padded(sink, directive, text, strlen(text));
}

size_t ParseCount(const char*& p) {
  size_t value = 0;
  for (; *p >= '0' && *p <= '9'; ++p) value = value >= countLimit / 10 ? countLimit : value * 10 + (*p - '0');
  return value;
}

size_t ParseCount(const wchar_t*& p) {
  size_t value = 0;
  for (; *p >= L'0' && *p <= L'9'; ++p) value = value >= countLimit / 10 ? countLimit : value * 10 + (*p - L'0');
  return value;
}

template <typename Own, typename Other>
bool Convert(FormatSink& sink, const Directive& directive, uint32_t conversion, ArgList& args) {
  switch (conversion) {
    case '%':
      return sink.Narrow("%", 1);
    case 's':
      return StringConversion(sink, directive, va_arg(args.list, const Own*));
    case 'S':
      return StringConversion(sink, directive, va_arg(args.list, const Other*));
    case 'c': {
      const Own unit = static_cast<Own>(va_arg(args.list, int));
      return Padded(sink, directive, &unit, 1);
    }
    case 'd':
    case 'i': {
      const int64_t value = directive.long64 ? va_arg(args.list, int64_t) : va_arg(args.list, int);
      const uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
      return Integer(sink, directive, magnitude, value < 0, true, 10, false, directive.alternate, directive.precision);
    }
    case 'u':
    case 'x':
    case 'X':
    case 'o':
    case 'b': {
      const uint64_t value = directive.long64 ? va_arg(args.list, uint64_t) : va_arg(args.list, unsigned);
      const unsigned radix = conversion == 'o' ? 8 : conversion == 'b' ? 2 : conversion == 'u' ? 10 : 16;
      return Integer(sink, directive, value, false, false, radix, conversion == 'X', directive.alternate, directive.precision);
    }
    case 'p': {
      const auto value = reinterpret_cast<uintptr_t>(va_arg(args.list, const void*));
      Directive plain = directive;
      plain.fixedPoint = false;
      return Integer(sink, plain, value, false, false, 16, false, true, directive.hasPrecision ? directive.precision : 8);
    }
    case 'f':
      return Fixed(sink, directive, va_arg(args.list, double));
    case 'm': {
      const auto* bytes = va_arg(args.list, const char*);
      if (!directive.hasPrecision) return true;
      bool result = true;
      if (BadStringArgument(sink, directive, bytes, &result)) return result;
      return sink.Narrow(bytes, directive.precision);
    }
    case 'e':
      return EscapedText(sink, directive, va_arg(args.list, const char*), ByteForm::Percent);
    case 'U':
      return EscapedText(sink, directive, va_arg(args.list, const char*), ByteForm::Url);
    case 'B': {
      const auto* vector = va_arg(args.list, const std::vector<uint8_t>*);
      if (!vector) return true;
      const size_t length = vector->size() < 1024 ? vector->size() : 1024;
      return EncodedBytes(sink, vector->data(), length, ByteForm::HexUpper);
    }
    case 'H':
    case 'h': {
      const auto* digest = va_arg(args.list, const uint8_t*);
      if (!digest) return true;
      if (IsBadPointer(digest)) return sink.Narrow("<ERROR>", 7);
      return EncodedBytes(sink, digest, 20, conversion == 'H' ? ByteForm::HexUpper : ByteForm::HexLower);
    }
    case 'I':
      return Ipv4(sink, directive, va_arg(args.list, uint32_t));
    case 'V': {
      const Ipv6Address address = va_arg(args.list, Ipv6Address);
      char text[64];
      return AddressText(sink, directive, Ipv6AddressText(address.bytes, text, sizeof text), text);
    }
    case 'a':
    case 'A': {
      const void* address = va_arg(args.list, const void*);
      bool result = true;
      if (BadStringArgument(sink, directive, address, &result)) return result;
      char text[80];
      return AddressText(sink, directive, SocketAddressText(address, conversion == 'A', text, sizeof text), text);
    }
    case 'z':
      return Size(sink, directive, va_arg(args.list, uint32_t), false);
    case 'Z':
      return Size(sink, directive, va_arg(args.list, uint64_t), true);
    case 'D':
      return FormatBencodedDictionary(sink, va_arg(args.list, const BencEntity*));
    default:
      // Names no conversion: prints nothing and takes no argument.
      return true;
  }
}

template <typename Own, typename Other>
void Run(FormatSink& sink, const Own* format, va_list callerArgs) {
  if (!format) return;
  ArgList args;
  va_copy(args.list, callerArgs);
  const Own* p = format;
  for (;;) {
    const Own* text = p;
    while (*p && *p != '%') ++p;
    if (p != text && !Write(sink, text, static_cast<size_t>(p - text))) break;
    if (!*p) break;
    ++p;
    Directive directive;
    for (;; ++p) {
      if (*p == '-') {
        directive.left = true;
      } else if (*p == '+') {
        directive.plus = true;
      } else if (*p == ' ') {
        directive.blank = true;
      } else if (*p == '#') {
        directive.alternate = true;
      } else if (*p == '0') {
        directive.zero = true;
      } else if (*p == ':') {
        directive.fixedPoint = true;
      } else {
        break;
      }
    }
    if (*p == '*') {
      const int width = va_arg(args.list, int);
      if (width < 0) directive.left = true;
      directive.width = static_cast<size_t>(width < 0 ? -static_cast<int64_t>(width) : width);
      ++p;
    } else {
      directive.width = ParseCount(p);
    }
    if (*p == '.') {
      ++p;
      if (*p == '*') {
        const int precision = va_arg(args.list, int);
        directive.hasPrecision = true;
        directive.precision = precision < 1 ? 0 : static_cast<size_t>(precision);
        ++p;
      } else if (*p >= '0' && *p <= '9') {
        directive.hasPrecision = true;
        directive.precision = ParseCount(p);
      }
    }
    if (*p == 'l' || *p == 'L') directive.long64 = *p++ == 'L';
    // A format that ends inside a specification ends the run: there is no
    // conversion to perform and no argument to take.
    if (!*p) break;
    const auto conversion = static_cast<uint32_t>(static_cast<std::make_unsigned_t<Own>>(*p++));
    if (!Convert<Own, Other>(sink, directive, conversion, args)) break;
  }
  va_end(args.list);
}
}  // namespace

bool FormatSink::Repeat(char unit, size_t count) {
  char chunk[64];
  memset(chunk, unit, sizeof chunk);
  while (count) {
    const size_t step = count < sizeof chunk ? count : sizeof chunk;
    if (!Narrow(chunk, step)) return false;
    count -= step;
  }
  return true;
}

void RunFormat(FormatSink& sink, const char* format, va_list args) { Run<char, wchar_t>(sink, format, args); }

void RunFormat(FormatSink& sink, const wchar_t* format, va_list args) { Run<wchar_t, char>(sink, format, args); }
