#include "module/classids.h"

#include "syncshellversion.h"

namespace {
// The version in reverse order fills the third and fourth groups.
constexpr unsigned versionMajor = SYNCSHELL_VERSION_MAJOR, versionMinor = SYNCSHELL_VERSION_MINOR,
                   versionPatch = SYNCSHELL_VERSION_PATCH;

void AppendHex(std::wstring& out, unsigned value, int digits) {
  static constexpr wchar_t hexDigits[] = L"0123456789ABCDEF";
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += hexDigits[(value >> shift) & 0xF];
}
}  // namespace

std::wstring FormatClassId(unsigned index) {
  std::wstring text = L"{581FFA";
  AppendHex(text, index & 0xFF, 2);
  text += L"-FC33-";
  AppendHex(text, versionPatch, 4);
  text += L'-';
  AppendHex(text, versionMinor, 2);
  AppendHex(text, versionMajor, 2);
  text += L"-95003A5CDE89}";
  return text;
}

CLSID ClassIdOf(unsigned index) {
  CLSID id{};
  CLSIDFromString(FormatClassId(index).c_str(), &id);
  return id;
}
