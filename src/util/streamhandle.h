#pragma once
// An alternate data stream, made from the path vector of its file followed
// by the stream name: C:\dir\file.txt\name opens C:\dir\file.txt:name.
#include "util/handle.h"

class StreamHandle : public SyncHandle {
 public:
  explicit StreamHandle(const PathVector& path);

  bool Seek(uint64_t offset) override;
  // Only while open for writing.
  bool SetSize(uint64_t size) override;
  std::wstring GetName() override;
  // Read through an open of its own, whether this handle is open or not.
  uint64_t GetSize() override;
  bool Open(OpenMode mode, bool unbuffered) override;
  bool IsOpen() override;
  uint32_t Read(void* buffer, uint32_t length) override;
  uint32_t ReadAt(void* buffer, uint32_t length, uint64_t offset) override;
  uint32_t Write(const void* buffer, uint32_t length) override;
  uint32_t WriteAt(const void* buffer, uint32_t length, uint64_t offset) override;
  bool Flush() override;
  // Kind File: the file's unnamed data becomes the stream's content. Other
  // kinds: the source handle's content, through one buffer. The stream is
  // truncated first.
  bool CopyFrom(const std::wstring& sourcePath, HandleKind sourceKind) override;
  bool Delete(bool recursive) override;
  bool IsDeletePending() override;
  HandleKind GetKind() override { return HandleKind::Stream; }

  const std::wstring& StreamName() const { return streamName; }
  const std::wstring& HostPath() const { return hostPath; }
  // "host:name"; empty when there is no host.
  const std::wstring& StreamPath() const { return streamPath; }

 private:
  std::wstring streamName;
  std::wstring hostPath;
  std::wstring streamPath;
};
