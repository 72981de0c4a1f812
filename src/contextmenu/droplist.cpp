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

bool IsNul(const unsigned char* bytes, size_t at, size_t unit) {
  return bytes[at] == 0 && (unit == 1 || bytes[at + 1] == 0);
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
    const bool nul = IsNul(bytes, at, unit);
    if (nul && nameEmpty) return true;
    nameEmpty = nul;
  }
  return false;
}

DropListNames::DropListNames(const void* data, size_t size)
    : bytes(static_cast<const unsigned char*>(data)), size(data && size >= headerSize ? size : 0) {
  if (this->size == 0) return;
  unit = ReadUint32(bytes, wideFlagAt) ? 2 : 1;
  at = ReadUint32(bytes, namesOffsetAt);
}

bool DropListNames::Next(std::string_view& name) {
  size_t end = at;
  while (end + unit <= size && !IsNul(bytes, end, unit)) end += unit;
  // The empty name ends the list; so does the end of the memory.
  if (end == at || end + unit > size) {
    at = size;
    return false;
  }
  name = std::string_view(reinterpret_cast<const char*>(bytes + at), end - at);
  at = end + unit;
  return true;
}
