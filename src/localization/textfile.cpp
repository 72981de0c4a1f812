#include "localization/textfile.h"

#include <cstdint>

namespace {

bool InRange(unsigned char byte, unsigned char low, unsigned char high) { return byte >= low && byte <= high; }

void AppendUtf16(std::wstring& out, uint32_t codePoint) {
  if (codePoint < 0x10000) {
    out.push_back(static_cast<wchar_t>(codePoint));
  } else {
    codePoint -= 0x10000;
    out.push_back(static_cast<wchar_t>(0xD800 + (codePoint >> 10)));
    out.push_back(static_cast<wchar_t>(0xDC00 + (codePoint & 0x3FF)));
  }
}

void AppendUtf8(std::string& out, uint32_t codePoint) {
  if (codePoint < 0x80) {
    out.push_back(static_cast<char>(codePoint));
  } else if (codePoint < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (codePoint >> 6)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else if (codePoint < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (codePoint >> 12)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (codePoint >> 18)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((codePoint >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (codePoint & 0x3F)));
  }
}

bool IsLineBreak(wchar_t c) { return c == L'\r' || c == L'\n'; }

}  // namespace

std::wstring DecodeTextFile(std::string_view bytes) {
  bytes = bytes.substr(0, bytes.find('\0'));
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);

  std::wstring out;
  out.reserve(bytes.size());
  size_t position = 0;
  while (position < bytes.size()) {
    const unsigned char lead = static_cast<unsigned char>(bytes[position]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++position;
      continue;
    }
    // Allowed range of the second byte and the count of further bytes, as
    // the well-formed UTF-8 table has them (no overlongs, no surrogates).
    size_t trailing = 0;
    unsigned char secondLow = 0x80, secondHigh = 0xBF;
    uint32_t codePoint = 0;
    if (InRange(lead, 0xC2, 0xDF)) {
      trailing = 1;
      codePoint = lead & 0x1F;
    } else if (InRange(lead, 0xE0, 0xEF)) {
      trailing = 2;
      codePoint = lead & 0x0F;
      if (lead == 0xE0) secondLow = 0xA0;
      if (lead == 0xED) secondHigh = 0x9F;
    } else if (InRange(lead, 0xF0, 0xF4)) {
      trailing = 3;
      codePoint = lead & 0x07;
      if (lead == 0xF0) secondLow = 0x90;
      if (lead == 0xF4) secondHigh = 0x8F;
    } else {
      out.push_back(invalidCharacter);
      ++position;
      continue;
    }
    size_t consumed = 1;
    bool valid = true;
    for (; consumed <= trailing; ++consumed) {
      if (position + consumed >= bytes.size()) {
        valid = false;
        break;
      }
      const unsigned char next = static_cast<unsigned char>(bytes[position + consumed]);
      const bool fits = consumed == 1 ? InRange(next, secondLow, secondHigh) : InRange(next, 0x80, 0xBF);
      if (!fits) {
        valid = false;
        break;
      }
      codePoint = (codePoint << 6) | (next & 0x3F);
    }
    if (valid) {
      AppendUtf16(out, codePoint);
    } else {
      out.push_back(invalidCharacter);
    }
    position += consumed;
  }
  return out;
}

std::string EncodeUtf8(std::wstring_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    uint32_t unit = static_cast<uint32_t>(text[i]);
    if (unit > 0x10FFFF) unit = 0xFFFD;
    if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size()) {
      const uint32_t low = static_cast<uint32_t>(text[i + 1]);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
        ++i;
        continue;
      }
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) unit = 0xFFFD;
    AppendUtf8(out, unit);
  }
  return out;
}

LineReader::LineReader(std::wstring_view text) : text(text.substr(0, text.find(L'\0'))) { SkipLineBreaks(); }

void LineReader::SkipLineBreaks() {
  while (position < text.size() && IsLineBreak(text[position])) ++position;
}

std::wstring_view LineReader::Next() {
  const size_t start = position;
  while (position < text.size() && !IsLineBreak(text[position])) ++position;
  std::wstring_view line = text.substr(start, position - start);
  SkipLineBreaks();
  if (line.ends_with(L'*')) line.remove_suffix(1);
  return line;
}
