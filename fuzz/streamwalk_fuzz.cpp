// The stream listing over arbitrary FILE_STREAM_INFORMATION bytes: every
// entry read lies inside the buffer and every listing is a real named stream.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "util/streaminfowalk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  for (const StreamListing& listing : WalkStreamInformation(data, size)) {
    if (listing.name.empty() || listing.size == 0) abort();
    if (listing.name.size() * 2 + streamEntryHeaderSize > size) abort();
  }
  return 0;
}
