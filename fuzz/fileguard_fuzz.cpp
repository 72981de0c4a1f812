// The file-guard header check over arbitrary file contents: a guarded file
// gives back exactly its bytes without the 56 inserted ones.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "util/fileguardheader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const FileGuardHeader header = ParseFileGuardHeader(data, size);
  if (header.state != FileGuardState::Guarded) return 0;
  if (size < fileGuardHeaderSize || data[0] != 'd') abort();
  std::vector<uint8_t> bytes(data, data + size);
  const size_t plain = StripFileGuardHeader(bytes.data(), bytes.size());
  if (plain != size - fileGuardInsertSize || bytes[0] != 'd') abort();
  if (std::memcmp(bytes.data() + 1, data + fileGuardHeaderSize, plain - 1) != 0) abort();
  return 0;
}
