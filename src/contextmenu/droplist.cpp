#include "contextmenu/droplist.h"

#include <cstdint>
#include <cstring>

namespace {
// DROPFILES: offset of the names, a point, two flags; the last says wide.
constexpr size_t headerSize = 20;
constexpr size_t namesOffsetAt = 0;
constexpr size_t wideFlagAt = 16;

uint32_t ReadUint32(const unsigned char* bytes, size_t at) {
  uint32_t value = 0;
  std::memcpy(&value, bytes + at, sizeof value);
  return value;
}
}  // namespace

bool IsWellFormedDropList(const void* data, size_t size) {
  if (!data || size < headerSize) return false;
  const auto* bytes = static_cast<const unsigned char*>(data);
  const size_t namesAt = ReadUint32(bytes, namesOffsetAt);
  const size_t unit = ReadUint32(bytes, wideFlagAt) ? 2 : 1;
  if (namesAt > size) return false;
  bool nameEmpty = true;
  for (size_t at = namesAt; at + unit <= size; at += unit) {
    const bool nul = unit == 1 ? bytes[at] == 0 : (bytes[at] == 0 && bytes[at + 1] == 0);
    if (nul && nameEmpty) return true;
    nameEmpty = nul;
  }
  return false;
}
