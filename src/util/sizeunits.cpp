#include "util/sizeunits.h"

#include <mutex>

namespace {
constexpr size_t unitCount = 7;
constexpr size_t nameCapacity = 16;

std::mutex namesLock;
wchar_t names[unitCount][nameCapacity] = {L"B", L"EB", L"GB", L"kB", L"MB", L"PB", L"TB"};

size_t Index(SizeUnit unit) {
  const auto index = static_cast<size_t>(unit);
  return index < unitCount ? index : 0;
}
}  // namespace

const wchar_t* SizeUnitName(SizeUnit unit) { return names[Index(unit)]; }

void SetSizeUnitNames(const wchar_t* const newNames[7]) {
  if (!newNames) return;
  std::lock_guard<std::mutex> hold(namesLock);
  for (size_t i = 0; i < unitCount; ++i) {
    if (!newNames[i]) continue;
    size_t length = 0;
    while (length + 1 < nameCapacity && newNames[i][length]) {
      names[i][length] = newNames[i][length];
      ++length;
    }
    names[i][length] = 0;
  }
}

size_t CopySizeUnitName(SizeUnit unit, wchar_t* out, size_t capacity) {
  if (!out || capacity == 0) return 0;
  std::lock_guard<std::mutex> hold(namesLock);
  const wchar_t* name = names[Index(unit)];
  size_t length = 0;
  while (length + 1 < capacity && name[length]) {
    out[length] = name[length];
    ++length;
  }
  out[length] = 0;
  return length;
}
