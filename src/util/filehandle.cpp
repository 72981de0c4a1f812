#include "util/filehandle.h"

#include <winternl.h>

#include "util/fileinfo.h"
#include "util/ntdllimports.h"
#include "util/utilassert.h"

namespace {

// See handle.cpp: a fixed number, not a source line.
constexpr int createOpenFileAssertion = 410;

}  // namespace

bool FileHandle::Seek(uint64_t offset) { return SeekOpen(offset); }

bool FileHandle::SetSize(uint64_t size) { return SetSizeOpen(size); }

int64_t FileHandle::GetModifiedTime() {
  SectionLock guard(lock);
  return FileInfo(path).LastWriteSeconds();
}

uint64_t FileHandle::GetSize() {
  SectionLock guard(lock);
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path.empty() || !GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
  return static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

bool FileHandle::Open(OpenMode mode, bool unbuffered) { return OpenPath(path, mode, unbuffered, true); }

bool FileHandle::IsOpen() {
  SectionLock guard(lock);
  return osHandle.Valid();
}

uint32_t FileHandle::Read(void* buffer, uint32_t length) { return ReadOpen(buffer, length); }

uint32_t FileHandle::ReadAt(void* buffer, uint32_t length, uint64_t offset) {
  return ReadAtOpen(buffer, length, offset);
}

uint32_t FileHandle::Write(const void* buffer, uint32_t length) { return WriteOpen(buffer, length); }

uint32_t FileHandle::WriteAt(const void* buffer, uint32_t length, uint64_t offset) {
  return WriteAtOpen(buffer, length, offset);
}

bool FileHandle::Flush() { return FlushOpen(); }

bool FileHandle::CopyFrom(const std::wstring& sourcePath, HandleKind sourceKind) {
  SectionLock guard(lock);
  if (sourceKind == HandleKind::File) {
    const bool copied = CopyFileW(sourcePath.c_str(), path.c_str(), FALSE);
    RefreshLastError(copied);
    return copied;
  }
  if (sourceKind != HandleKind::Stream) return false;
  if (!Open(OpenMode::Truncate, false)) return false;
  const std::shared_ptr<SyncHandle> source = CreateHandle(sourcePath, HandleKind::Stream);
  const bool copied = source && CopyContentFrom(*source);
  Close();
  return copied;
}

bool FileHandle::Delete(bool) {
  SectionLock guard(lock);
  const bool deleted = DeleteFileW(path.c_str());
  RefreshLastError(deleted);
  return deleted;
}

bool FileHandle::DeleteStreams() {
  SectionLock guard(lock);
  FileInfo info(path);
  if (!info.EnumerateStreams()) return true;
  bool allDeleted = true;
  for (const StreamEntry& stream : info.streams) {
    const std::shared_ptr<SyncHandle> handle = CreateHandle(path + L"\\" + stream.name, HandleKind::Stream);
    if (!handle || !handle->Delete(false)) allDeleted = false;
  }
  return allDeleted;
}

bool FileHandle::Create() {
  SectionLock guard(lock);
  if (osHandle.Valid()) ReportAssertion("handle", createOpenFileAssertion, utilAssertCode);
  if (!Open(OpenMode::Truncate, false)) return false;
  Close();
  return true;
}

bool FileHandle::IsDeletePending() {
  SectionLock guard(lock);
  return osHandle.Valid() && QueryDeletePending(osHandle.Get());
}

bool FileHandle::SetValidData(uint64_t length) {
  SectionLock guard(lock);
  if (!osHandle.Valid() || !SetSize(length)) return false;
  const bool set = SetFileValidData(osHandle.Get(), static_cast<LONGLONG>(length));
  if (!set) lastError = GetLastError();
  return set;
}

bool QueryDeletePending(HANDLE handle) {
  const NtQueryInformationFileFunction query = NtQueryInformationFileEntry();
  if (query == nullptr) return false;
  IO_STATUS_BLOCK io{};
  FILE_STANDARD_INFORMATION standard{};
  query(handle, &io, &standard, sizeof standard, FileStandardInformation);
  return standard.DeletePending != 0;
}
