#pragma once
// Handles on files, folders, symbolic links and alternate data streams.
// Every operation of one handle runs under that handle's own re-entrant lock;
// handles are shared through std::shared_ptr.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "util/uniquehandle.h"

class PathVector;

// Kind 4 has no class of its own: it makes a FileHandle.
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

// One row of the open-mode table: what CreateFileW gets for the mode.
struct OpenModeRow {
  DWORD access;
  DWORD disposition;
  DWORD flags;
};

// False for Closed and values outside the table.
bool LookUpOpenMode(OpenMode mode, OpenModeRow& row);
bool IsWritableMode(OpenMode mode);

// Every open shares read, write and delete.
inline constexpr DWORD handleShareMode = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

class SyncHandle {
 public:
  virtual ~SyncHandle();
  SyncHandle(const SyncHandle&) = delete;
  SyncHandle& operator=(const SyncHandle&) = delete;

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
  // The size of the open object from its own handle, without another open;
  // 0 when closed or unreadable.
  uint64_t OpenSize();
  DWORD LastError();
  OpenMode Mode();

 protected:
  explicit SyncHandle(std::wstring path);

  // The operations shared by the classes that do data access; each takes
  // the lock itself.
  bool OpenPath(const std::wstring& target, OpenMode mode, bool unbufferedAccess, bool readOnlyRetry);
  bool SeekOpen(uint64_t offset);
  bool SetSizeOpen(uint64_t size);
  uint32_t ReadOpen(void* buffer, uint32_t length);
  uint32_t ReadAtOpen(void* buffer, uint32_t length, uint64_t offset);
  uint32_t WriteOpen(const void* buffer, uint32_t length);
  uint32_t WriteAtOpen(const void* buffer, uint32_t length, uint64_t offset);
  bool FlushOpen();
  // Copies the whole of an opened source handle into the open object.
  bool CopyContentFrom(SyncHandle& source);
  // Last error after a call that did not go through the os handle.
  void RefreshLastError(bool succeeded);

  std::wstring path;
  UniqueFile osHandle;
  OpenMode openMode = OpenMode::Closed;
  DWORD lastError = ERROR_SUCCESS;
  bool unbuffered = false;
  CriticalSection lock;
};

// A closed handle of the class for the kind; a kind outside 1-5 is a
// precondition failure that ends the process. Null only when memory runs out.
std::shared_ptr<SyncHandle> CreateHandle(const PathVector& path, HandleKind kind);
std::shared_ptr<SyncHandle> CreateHandle(const std::wstring& path, HandleKind kind);
