#pragma once
// The number texts of the formatter: sizes with units and fixed-point
// doubles. Pure and bounded: every text fits a fixed area.
#include <cstddef>
#include <cstdint>

#include "util/sizeunits.h"

struct SizeText {
  char number[32];  // ASCII digits, maybe with one '.'
  size_t length;
  SizeUnit unit;
};

// The count scaled to the first unit it stays below 1024 of (bytes only when
// allowBytes). Tenths, or with precise up to hundredths; plain bytes never
// show decimals.
SizeText MakeSizeText(uint64_t count, bool allowBytes, bool precise) noexcept;

struct FixedText {
  char head[352];  // sign, integer digits and '.', or "nan"/"inf"
  size_t headLength;
  char fraction[17];      // the significant fraction digits
  size_t fractionLength;  // at most 17
  size_t zeros;           // zeros after them, up to the precision
};

// Integer part (truncated, with sign), then the fraction rounded half up to
// precision digits. The point is left out for precision 0.
FixedText MakeFixedText(double value, size_t precision, bool plus, bool blank) noexcept;
