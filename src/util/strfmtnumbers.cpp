#include "util/strfmtnumbers.h"

#include <cmath>

namespace {
// count * 100 needs up to 71 bits.
struct Hundredfold {
  uint64_t high;
  uint64_t low;
};

Hundredfold TimesHundred(uint64_t count) {
  const uint64_t lowPart = (count & 0xFFFFFFFFu) * 100;
  const uint64_t highPart = (count >> 32) * 100;
  const uint64_t shifted = highPart << 32;
  const uint64_t low = shifted + lowPart;
  return {(highPart >> 32) + (low < shifted ? 1 : 0), low};
}

bool Below(const Hundredfold& v, uint64_t bound) { return v.high == 0 && v.low < bound; }

uint64_t ShiftDown(const Hundredfold& v, unsigned bits) { return (v.low >> bits) | (v.high << (64 - bits)); }

size_t Decimal(uint64_t number, char* out) {
  char digits[24];
  size_t count = 0;
  do {
    digits[count++] = static_cast<char>('0' + number % 10);
    number /= 10;
  } while (number);
  for (size_t i = 0; i < count; ++i) out[i] = digits[count - 1 - i];
  return count;
}

// The exact decimal digits of an integral double of at least 2^64.
size_t LargeIntegerDigits(double integral, char* out) {
  constexpr uint32_t base = 1000000000;
  constexpr size_t limbCapacity = 36;  // 2^1024 has 309 digits
  uint32_t limbs[limbCapacity] = {};
  int exponent = 0;
  const double fraction = std::frexp(integral, &exponent);
  const auto mantissa = static_cast<uint64_t>(std::ldexp(fraction, 53));
  limbs[0] = static_cast<uint32_t>(mantissa % base);
  limbs[1] = static_cast<uint32_t>(mantissa / base % base);
  limbs[2] = static_cast<uint32_t>(mantissa / base / base);
  size_t used = 3;
  for (int shift = exponent - 53; shift > 0;) {
    const int step = shift > 29 ? 29 : shift;
    shift -= step;
    uint64_t carry = 0;
    for (size_t i = 0; i < used; ++i) {
      const uint64_t value = (static_cast<uint64_t>(limbs[i]) << step) + carry;
      limbs[i] = static_cast<uint32_t>(value % base);
      carry = value / base;
    }
    if (carry && used < limbCapacity) limbs[used++] = static_cast<uint32_t>(carry);
  }
  while (used > 1 && limbs[used - 1] == 0) --used;
  size_t length = Decimal(limbs[used - 1], out);
  for (size_t i = used - 1; i-- > 0;) {
    uint32_t limb = limbs[i];
    for (int d = 8; d >= 0; --d) {
      out[length + static_cast<size_t>(d)] = static_cast<char>('0' + limb % 10);
      limb /= 10;
    }
    length += 9;
  }
  return length;
}
}  // namespace

SizeText MakeSizeText(uint64_t count, bool allowBytes, bool precise) noexcept {
  SizeText text{};
  const Hundredfold v = TimesHundred(count);
  uint64_t n = 0;
  if (allowBytes && Below(v, 102400)) {
    text.unit = SizeUnit::Bytes;
    text.length = Decimal(count, text.number);
    return text;
  }
  if (Below(v, 1024ull * 1024 * 100)) {
    text.unit = SizeUnit::Kilobytes;
    n = ShiftDown(v, 10);
  } else if (Below(v, 25ull << 32)) {
    text.unit = SizeUnit::Megabytes;
    n = ShiftDown(v, 20);
  } else if (Below(v, 25600ull << 32)) {
    text.unit = SizeUnit::Gigabytes;
    n = ShiftDown(v, 30);
  } else if (Below(v, 26214400ull << 32)) {
    text.unit = SizeUnit::Terabytes;
    n = ShiftDown(v, 40);
  } else if (Below(v, 1ull << 62)) {
    text.unit = SizeUnit::Petabytes;
    n = ShiftDown(v, 50);
  } else {
    text.unit = SizeUnit::Exabytes;
    n = ShiftDown(v, 60);
  }
  // n is in hundredths of the unit.
  size_t decimals = 1;
  if (!precise || n == 0) {
    n /= 10;
  } else if (n >= 10000) {
    n /= 100;
    decimals = 0;
  } else if (n >= 1000) {
    n /= 10;
  } else {
    decimals = 2;
  }
  uint64_t scale = decimals == 2 ? 100 : decimals == 1 ? 10 : 1;
  size_t length = Decimal(n / scale, text.number);
  if (decimals) {
    text.number[length++] = '.';
    uint64_t rest = n % scale;
    for (size_t d = decimals; d-- > 0;) {
      text.number[length + d] = static_cast<char>('0' + rest % 10);
      rest /= 10;
    }
    length += decimals;
  }
  text.length = length;
  return text;
}

FixedText MakeFixedText(double value, size_t precision, bool plus, bool blank) noexcept {
  FixedText text{};
  size_t head = 0;
  if (std::signbit(value)) {
    text.head[head++] = '-';
  } else if (plus) {
    text.head[head++] = '+';
  } else if (blank) {
    text.head[head++] = ' ';
  }
  if (std::isnan(value) || std::isinf(value)) {
    const char* word = std::isnan(value) ? "nan" : "inf";
    for (size_t i = 0; i < 3; ++i) text.head[head++] = word[i];
    text.headLength = head;
    return text;
  }
  const double magnitude = std::fabs(value);
  const double integral = std::trunc(magnitude);
  const double fraction = magnitude - integral;
  const size_t significant = precision < 17 ? precision : 17;
  bool carry = false;
  uint64_t fractionDigits = 0;
  if (significant) {
    const double scale = std::pow(10.0, static_cast<double>(significant));
    double scaled = std::floor(fraction * scale + 0.5);
    if (scaled >= scale) {
      carry = true;
      scaled -= scale;
    }
    fractionDigits = static_cast<uint64_t>(scaled);
  } else {
    carry = fraction >= 0.5;
  }
  if (integral < 18446744073709551616.0) {
    head += Decimal(static_cast<uint64_t>(integral) + (carry ? 1 : 0), text.head + head);
  } else {
    // Doubles this large have no fraction, so nothing carries.
    head += LargeIntegerDigits(integral, text.head + head);
  }
  if (precision) text.head[head++] = '.';
  text.headLength = head;
  for (size_t d = significant; d-- > 0;) {
    text.fraction[d] = static_cast<char>('0' + fractionDigits % 10);
    fractionDigits /= 10;
  }
  text.fractionLength = significant;
  text.zeros = precision - significant;
  return text;
}
