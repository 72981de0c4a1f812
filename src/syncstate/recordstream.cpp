#include "syncstate/recordstream.h"

#include "syncstate/recordlimits.h"
#include "util/handle.h"

namespace {
std::shared_ptr<SyncHandle> OpenStream(const std::wstring& streamPath) {
  std::shared_ptr<SyncHandle> stream = CreateHandle(streamPath, HandleKind::Stream);
  if (!stream || !stream->Open(OpenMode::Read, false) || !stream->IsOpen()) return nullptr;
  return stream;
}
}  // namespace

bool ReadRecordStream(const std::wstring& streamPath, std::string& bytes) {
  bytes.clear();
  const std::shared_ptr<SyncHandle> stream = OpenStream(streamPath);
  if (!stream) return false;
  // The size is the file's claim: checked before it becomes an allocation.
  // Read from the open handle, so that a record costs one open.
  const uint64_t size = stream->OpenSize();
  if (size == 0 || size > maxRecordBytes) return true;
  bytes.resize(static_cast<size_t>(size));
  const uint32_t read = stream->Read(bytes.data(), static_cast<uint32_t>(size));
  if (read != size) bytes.clear();
  stream->Close();
  return true;
}

bool ReadRecordStreamPrefix(const std::wstring& streamPath, uint32_t length, std::string& bytes) {
  bytes.clear();
  const std::shared_ptr<SyncHandle> stream = OpenStream(streamPath);
  if (!stream) return false;
  bytes.resize(length);
  bytes.resize(stream->Read(bytes.data(), length));
  stream->Close();
  return true;
}
