#pragma once
// The walk over a FILE_STREAM_INFORMATION buffer, taken as plain bytes so it
// runs the same on any host. Entries: next-entry offset (4 bytes), name length
// in bytes (4), stream size (8), allocation size (8), then the UTF-16 name,
// all little-endian.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct StreamListing {
  std::u16string name;  // without the leading ':' and the trailing ":$DATA"
  uint64_t size = 0;
};

inline constexpr size_t streamEntryHeaderSize = 24;

// The named data streams of non-zero size, in buffer order. Entries that do
// not lie wholly inside the buffer end the walk; names are held whole, of
// whatever length the entry gives.
std::vector<StreamListing> WalkStreamInformation(const uint8_t* buffer, size_t size);
