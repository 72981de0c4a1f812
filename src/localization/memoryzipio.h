#pragma once
// minizip's file functions over a block of memory, so the archive is read
// straight from the resource without a temporary file.
#include <cstddef>
#include <cstdint>

#include <ioapi.h>

struct MemoryZipStream {
  const unsigned char* data = nullptr;
  uint64_t size = 0;
  uint64_t position = 0;
};

// Read-only functions over stream; stream must outlive the archive handle.
// Every seek outside [0, size] and every read past the end is refused or
// cut short, whatever offsets a damaged archive claims.
zlib_filefunc64_def MemoryZipFunctions(MemoryZipStream& stream);
