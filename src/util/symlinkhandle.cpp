#include "util/symlinkhandle.h"

#include <cstring>

uint32_t SymlinkHandle::Write(const void* buffer, uint32_t length) {
  SectionLock guard(lock);
  linkText.clear();
  if (buffer != nullptr) {
    // The buffer need not be aligned for wchar_t: copy unit by unit.
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    const uint32_t units = length / sizeof(wchar_t);
    for (uint32_t index = 0; index < units; ++index) {
      wchar_t unit;
      std::memcpy(&unit, bytes + index * sizeof(wchar_t), sizeof unit);
      if (unit == L'\0') break;
      linkText.push_back(unit);
    }
  }
  return static_cast<uint32_t>(linkText.size());
}

std::wstring SymlinkHandle::LinkText() {
  SectionLock guard(lock);
  return linkText;
}
