#include "util/streaminfowalk.h"

namespace {

uint32_t ReadU32(const uint8_t* bytes) {
  return static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
         static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
}

uint64_t ReadU64(const uint8_t* bytes) { return ReadU32(bytes) | static_cast<uint64_t>(ReadU32(bytes + 4)) << 32; }

// ":name:$DATA" gives "name"; anything else, or an empty name, gives false.
bool DataStreamName(const std::u16string& fullName, std::u16string& name) {
  static const std::u16string dataSuffix = u":$DATA";
  if (fullName.size() < 8 || fullName[0] != u':') return false;
  const size_t suffix = fullName.find(dataSuffix, 1);
  if (suffix == std::u16string::npos || suffix < 2) return false;
  name.assign(fullName, 1, suffix - 1);
  return true;
}

}  // namespace

std::vector<StreamListing> WalkStreamInformation(const uint8_t* buffer, size_t size) {
  std::vector<StreamListing> streams;
  if (buffer == nullptr) return streams;
  size_t offset = 0;
  std::u16string fullName;
  // Each step moves strictly forward inside the buffer, so the walk ends.
  while (size - offset >= streamEntryHeaderSize) {
    const uint8_t* entry = buffer + offset;
    const uint32_t next = ReadU32(entry);
    const uint32_t nameBytes = ReadU32(entry + 4);
    const uint64_t streamSize = ReadU64(entry + 8);
    const size_t room = size - offset - streamEntryHeaderSize;
    if (nameBytes > room) break;
    const size_t units = nameBytes / 2;
    fullName.resize(units);
    for (size_t unit = 0; unit < units; ++unit) {
      const uint8_t* code = entry + streamEntryHeaderSize + unit * 2;
      fullName[unit] = static_cast<char16_t>(code[0] | code[1] << 8);
    }
    StreamListing listing;
    if (streamSize != 0 && DataStreamName(fullName, listing.name)) {
      listing.size = streamSize;
      streams.push_back(std::move(listing));
    }
    if (next == 0 || next > size - offset) break;
    offset += next;
  }
  return streams;
}
