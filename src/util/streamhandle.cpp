#include "util/streamhandle.h"

#include "util/filehandle.h"
#include "util/pathvector.h"

StreamHandle::StreamHandle(const PathVector& path) : SyncHandle(path.Join()) {
  if (path.empty()) return;
  streamName = path.back();
  PathVector host = path;
  host.pop_back();
  hostPath = host.Join();
  // Without a host the name alone would open a stream of whatever the
  // current directory is.
  if (!hostPath.empty()) streamPath = hostPath + L":" + streamName;
}

bool StreamHandle::Seek(uint64_t offset) { return SeekOpen(offset); }

bool StreamHandle::SetSize(uint64_t size) {
  SectionLock guard(lock);
  if (!osHandle.Valid() || !IsWritableMode(openMode)) return false;
  return SetSizeOpen(size);
}

std::wstring StreamHandle::GetName() { return streamName; }

uint64_t StreamHandle::GetSize() {
  SectionLock guard(lock);
  OpenModeRow row;
  LookUpOpenMode(OpenMode::Read, row);
  if (streamPath.empty()) return 0;
  const UniqueFile file(
      CreateFileW(streamPath.c_str(), row.access, handleShareMode, nullptr, row.disposition, row.flags, nullptr));
  LARGE_INTEGER size;
  if (!file.Valid() || !GetFileSizeEx(file.Get(), &size)) return 0;
  return static_cast<uint64_t>(size.QuadPart);
}

bool StreamHandle::Open(OpenMode mode, bool unbuffered) { return OpenPath(streamPath, mode, unbuffered, false); }

bool StreamHandle::IsOpen() {
  SectionLock guard(lock);
  return osHandle.Valid();
}

uint32_t StreamHandle::Read(void* buffer, uint32_t length) { return ReadOpen(buffer, length); }

uint32_t StreamHandle::ReadAt(void* buffer, uint32_t length, uint64_t offset) {
  return ReadAtOpen(buffer, length, offset);
}

uint32_t StreamHandle::Write(const void* buffer, uint32_t length) { return WriteOpen(buffer, length); }

uint32_t StreamHandle::WriteAt(const void* buffer, uint32_t length, uint64_t offset) {
  return WriteAtOpen(buffer, length, offset);
}

bool StreamHandle::Flush() { return FlushOpen(); }

bool StreamHandle::CopyFrom(const std::wstring& sourcePath, HandleKind sourceKind) {
  SectionLock guard(lock);
  if (sourceKind == HandleKind::File) {
    const bool copied = CopyFileW(sourcePath.c_str(), streamPath.c_str(), FALSE);
    RefreshLastError(copied);
    return copied;
  }
  const auto kind = static_cast<int32_t>(sourceKind);
  if (kind < 1 || kind > 5) return false;
  if (!Open(OpenMode::Truncate, false)) return false;
  const std::shared_ptr<SyncHandle> source = CreateHandle(sourcePath, sourceKind);
  const bool copied = source && CopyContentFrom(*source);
  Close();
  return copied;
}

bool StreamHandle::Delete(bool) {
  SectionLock guard(lock);
  const bool deleted = DeleteFileW(streamPath.c_str());
  RefreshLastError(deleted);
  return deleted;
}

bool StreamHandle::IsDeletePending() {
  SectionLock guard(lock);
  return osHandle.Valid() && QueryDeletePending(osHandle.Get());
}
