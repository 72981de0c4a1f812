// The text conversions on the host. wchar_t is 32-bit here, so each wchar_t
// carries one UTF-16 code unit, exactly as on Windows; invalid sequences
// become U+FFFD as the Windows conversions make them.
#include <cstdint>
#include <cstring>
#include <cwchar>
#include <new>
#include <string>
#include <vector>

#include "util/textconv.h"

namespace {
constexpr uint32_t replacement = 0xFFFD;

void AppendUtf8(uint32_t point, std::string& out) {
  if (point < 0x80) {
    out += static_cast<char>(point);
  } else if (point < 0x800) {
    out += static_cast<char>(0xC0 | (point >> 6));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else if (point < 0x10000) {
    out += static_cast<char>(0xE0 | (point >> 12));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (point >> 18));
    out += static_cast<char>(0x80 | ((point >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((point >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (point & 0x3F));
  }
}

std::string UnitsToUtf8(const wchar_t* text, size_t length) {
  std::string out;
  for (size_t i = 0; i < length; ++i) {
    const uint32_t unit = static_cast<uint32_t>(text[i]);
    if (unit > 0xFFFF) {
      AppendUtf8(replacement, out);
    } else if (unit >= 0xD800 && unit < 0xDC00 && i + 1 < length &&
               static_cast<uint32_t>(text[i + 1]) >= 0xDC00 && static_cast<uint32_t>(text[i + 1]) < 0xE000) {
      AppendUtf8(0x10000 + ((unit - 0xD800) << 10) + (static_cast<uint32_t>(text[i + 1]) - 0xDC00), out);
      ++i;
    } else if (unit >= 0xD800 && unit < 0xE000) {
      AppendUtf8(replacement, out);
    } else {
      AppendUtf8(unit, out);
    }
  }
  return out;
}

std::vector<wchar_t> Utf8ToUnits(const unsigned char* text, size_t length) {
  std::vector<wchar_t> out;
  for (size_t i = 0; i < length;) {
    const unsigned char lead = text[i];
    size_t extra = 0;
    uint32_t point = 0;
    uint32_t minimum = 0;
    if (lead < 0x80) {
      point = lead;
    } else if (lead >= 0xC2 && lead < 0xE0) {
      extra = 1, point = lead & 0x1F, minimum = 0x80;
    } else if (lead >= 0xE0 && lead < 0xF0) {
      extra = 2, point = lead & 0x0F, minimum = 0x800;
    } else if (lead >= 0xF0 && lead < 0xF5) {
      extra = 3, point = lead & 0x07, minimum = 0x10000;
    } else {
      out.push_back(static_cast<wchar_t>(replacement));
      ++i;
      continue;
    }
    size_t taken = 1;
    bool valid = true;
    for (; taken <= extra; ++taken) {
      if (i + taken >= length || (text[i + taken] & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      point = (point << 6) | (text[i + taken] & 0x3F);
    }
    if (!valid || point < minimum || point > 0x10FFFF || (point >= 0xD800 && point < 0xE000)) {
      out.push_back(static_cast<wchar_t>(replacement));
      i += valid ? taken : (taken > 1 ? taken : 1);
      continue;
    }
    i += taken;
    if (point >= 0x10000) {
      out.push_back(static_cast<wchar_t>(0xD800 + ((point - 0x10000) >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + ((point - 0x10000) & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(point));
    }
  }
  return out;
}
}  // namespace

Utf8Text Utf16ToUtf8Alloc(const wchar_t* text) noexcept {
  Utf8Text out;
  if (!text) return out;
  try {
    const std::string utf8 = UnitsToUtf8(text, wcslen(text));
    out.data.reset(new char[utf8.size() + 1]);
    memcpy(out.data.get(), utf8.c_str(), utf8.size() + 1);
    out.length = utf8.size();
  } catch (const std::bad_alloc&) {
    out = Utf8Text();
  }
  return out;
}

std::string Utf16ToUtf8(const wchar_t* text) noexcept {
  try {
    return text ? UnitsToUtf8(text, wcslen(text)) : std::string();
  } catch (const std::bad_alloc&) {
    return {};
  }
}

std::wstring Utf8ToUtf16(const char* text) noexcept {
  if (!text) return {};
  try {
    const std::vector<wchar_t> units = Utf8ToUnits(reinterpret_cast<const unsigned char*>(text), strlen(text));
    return std::wstring(units.begin(), units.end());
  } catch (const std::bad_alloc&) {
    return {};
  }
}

// Code page 0 is UTF-8; every other code page stands for the ANSI one,
// taken as Latin-1 here.
WideText MultiByteToUtf16(unsigned codePage, const char* text, ptrdiff_t length) noexcept {
  WideText out;
  if (!text) return out;
  const size_t bytes = length < 0 ? strlen(text) : static_cast<size_t>(length);
  const auto* data = reinterpret_cast<const unsigned char*>(text);
  try {
    std::vector<wchar_t> units;
    if (codePage == 0 || codePage == 65001) {
      units = Utf8ToUnits(data, bytes);
    } else {
      units.assign(data, data + bytes);
    }
    out.data.reset(new wchar_t[units.size() + 1]);
    if (!units.empty()) memcpy(out.data.get(), units.data(), units.size() * sizeof(wchar_t));
    out.data[units.size()] = 0;
    out.length = units.size();
  } catch (const std::bad_alloc&) {
    out = WideText();
  }
  return out;
}
