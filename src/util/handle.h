#pragma once
// Handles on files, folders, symbolic links and alternate data streams.
// Every operation of one handle runs under that handle's own lock; handles
// are shared through std::shared_ptr.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

class PathVector;

enum class HandleKind : int32_t { File = 1, Folder = 2, Symlink = 3, PlainFile = 4, Stream = 5 };

enum class OpenMode : int32_t {
  Closed = -1,
  Read = 0,
  ReadWrite = 1,
  Truncate = 2,
  Attributes = 3,
  Append = 4,
  ReadWriteExisting = 5,
  CreateNew = 6,
};

class SyncHandle {
 public:
  virtual ~SyncHandle();
  virtual bool Seek(uint64_t offset) = 0;
  virtual bool SetSize(uint64_t size) = 0;
  virtual std::wstring GetName();
  virtual int64_t GetModifiedTime();
  virtual uint64_t GetSize();
  virtual bool Open(OpenMode mode, bool unbuffered) = 0;
  virtual void Close();
  virtual bool IsOpen() = 0;
  virtual uint32_t Read(void* buffer, uint32_t length) = 0;
  virtual uint32_t ReadAt(void* buffer, uint32_t length, uint64_t offset) = 0;
  virtual uint32_t Write(const void* buffer, uint32_t length) = 0;
  virtual uint32_t WriteAt(const void* buffer, uint32_t length, uint64_t offset) = 0;
  virtual bool Flush();
  virtual bool CopyFrom(const std::wstring& sourcePath, HandleKind sourceKind) = 0;
  virtual bool Delete(bool recursive) = 0;
  virtual bool DeleteStreams();
  virtual bool Create();
  virtual bool IsDeletePending();
  virtual bool SetValidData(uint64_t length);
  virtual HandleKind GetKind() = 0;

  const std::wstring& Path() const { return path; }
  DWORD LastError() const { return lastError; }

 protected:
  explicit SyncHandle(std::wstring path);

  std::wstring path;
  HANDLE osHandle = INVALID_HANDLE_VALUE;
  OpenMode openMode = OpenMode::Closed;
  DWORD lastError = 0;
  bool unbuffered = false;
  CRITICAL_SECTION lock;
};

// A closed handle of the class for the kind; a kind outside 1-5 is a
// precondition failure.
std::shared_ptr<SyncHandle> CreateHandle(const PathVector& path, HandleKind kind);
std::shared_ptr<SyncHandle> CreateHandle(const std::wstring& path, HandleKind kind);
