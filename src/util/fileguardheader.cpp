#include "util/fileguardheader.h"

#include <cstring>

namespace {

int HexValue(uint8_t digit) {
  if (digit >= '0' && digit <= '9') return digit - '0';
  if (digit >= 'A' && digit <= 'F') return digit - 'A' + 10;
  if (digit >= 'a' && digit <= 'f') return digit - 'a' + 10;
  return -1;
}

}  // namespace

FileGuardHeader ParseFileGuardHeader(const uint8_t* data, size_t size) {
  FileGuardHeader header;
  if (data == nullptr || size < fileGuardHeaderSize || data[0] != 'd') return header;
  const std::string_view key(reinterpret_cast<const char*>(data), fileGuardKey.size());
  if (key != fileGuardKey && key != olderFileGuardKey) return header;
  const uint8_t* digits = data + fileGuardKey.size();
  for (size_t index = 0; index < sizeof header.digest; ++index) {
    const int high = HexValue(digits[index * 2]);
    const int low = HexValue(digits[index * 2 + 1]);
    if (high < 0 || low < 0) {
      header.state = FileGuardState::Damaged;
      return header;
    }
    header.digest[index] = static_cast<uint8_t>(high << 4 | low);
  }
  header.state = FileGuardState::Guarded;
  return header;
}

size_t StripFileGuardHeader(uint8_t* data, size_t size) {
  if (size < fileGuardHeaderSize) return size;
  std::memmove(data + 1, data + fileGuardHeaderSize, size - fileGuardHeaderSize);
  return size - fileGuardInsertSize;
}
