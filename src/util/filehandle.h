#pragma once
// A regular file, and the base of the folder and symbolic-link handles.
#include "util/handle.h"

class FileHandle : public SyncHandle {
 public:
  explicit FileHandle(std::wstring path) : SyncHandle(std::move(path)) {}

  bool Seek(uint64_t offset) override;
  bool SetSize(uint64_t size) override;
  // Last-write time in seconds since 1970; 0 for a missing file.
  int64_t GetModifiedTime() override;
  // Read by path, so it works whether the handle is open or not.
  uint64_t GetSize() override;
  // A writable open of a read-only file clears the read-only attribute and
  // tries once more; the attribute stays cleared.
  bool Open(OpenMode mode, bool unbuffered) override;
  bool IsOpen() override;
  uint32_t Read(void* buffer, uint32_t length) override;
  uint32_t ReadAt(void* buffer, uint32_t length, uint64_t offset) override;
  uint32_t Write(const void* buffer, uint32_t length) override;
  uint32_t WriteAt(const void* buffer, uint32_t length, uint64_t offset) override;
  bool Flush() override;
  // Kind File: a file copy. Kind Stream: the stream's content, through one
  // buffer. The file is truncated first, so a source that cannot be read
  // leaves it empty.
  bool CopyFrom(const std::wstring& sourcePath, HandleKind sourceKind) override;
  bool Delete(bool recursive) override;
  // Deletes the named streams that have content; true when they cannot be
  // listed at all.
  bool DeleteStreams() override;
  // An empty file; the handle must be closed.
  bool Create() override;
  bool IsDeletePending() override;
  bool SetValidData(uint64_t length) override;
  HandleKind GetKind() override { return HandleKind::File; }
};

// Whether the file system marks the open object for deletion.
bool QueryDeletePending(HANDLE handle);
