#include "localization/memoryzipio.h"

#include <cstring>

namespace {

MemoryZipStream* StreamOf(voidpf opaque) { return static_cast<MemoryZipStream*>(opaque); }

voidpf ZCALLBACK OpenMemory(voidpf opaque, const void*, int mode) {
  if ((mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
  MemoryZipStream* stream = StreamOf(opaque);
  stream->position = 0;
  return stream;
}

uLong ZCALLBACK ReadMemory(voidpf, voidpf streamHandle, void* buffer, uLong length) {
  MemoryZipStream* stream = StreamOf(streamHandle);
  if (!stream || !buffer || stream->position >= stream->size) return 0;
  const uint64_t available = stream->size - stream->position;
  const uLong count = available < length ? static_cast<uLong>(available) : length;
  std::memcpy(buffer, stream->data + stream->position, count);
  stream->position += count;
  return count;
}

uLong ZCALLBACK WriteMemory(voidpf, voidpf, const void*, uLong) { return 0; }

ZPOS64_T ZCALLBACK TellMemory(voidpf, voidpf streamHandle) {
  MemoryZipStream* stream = StreamOf(streamHandle);
  return stream ? stream->position : static_cast<ZPOS64_T>(-1);
}

long ZCALLBACK SeekMemory(voidpf, voidpf streamHandle, ZPOS64_T offset, int origin) {
  MemoryZipStream* stream = StreamOf(streamHandle);
  if (!stream) return -1;
  uint64_t base = 0;
  switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET:
      base = 0;
      break;
    case ZLIB_FILEFUNC_SEEK_CUR:
      base = stream->position;
      break;
    case ZLIB_FILEFUNC_SEEK_END:
      base = stream->size;
      break;
    default:
      return -1;
  }
  // The sum must stay inside the block; checked without overflowing.
  if (base > stream->size || offset > stream->size - base) return -1;
  stream->position = base + offset;
  return 0;
}

int ZCALLBACK CloseMemory(voidpf, voidpf) { return 0; }

int ZCALLBACK TestMemoryError(voidpf, voidpf) { return 0; }

}  // namespace

zlib_filefunc64_def MemoryZipFunctions(MemoryZipStream& stream) {
  zlib_filefunc64_def functions{};
  functions.zopen64_file = OpenMemory;
  functions.zread_file = ReadMemory;
  functions.zwrite_file = WriteMemory;
  functions.ztell64_file = TellMemory;
  functions.zseek64_file = SeekMemory;
  functions.zclose_file = CloseMemory;
  functions.zerror_file = TestMemoryError;
  functions.opaque = &stream;
  return functions;
}
