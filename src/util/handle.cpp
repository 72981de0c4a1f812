#include "util/handle.h"

#include <exception>
#include <iterator>
#include <new>

#include "util/filehandle.h"
#include "util/folderhandle.h"
#include "util/pathvector.h"
#include "util/streamhandle.h"
#include "util/symlinkhandle.h"
#include "util/utilassert.h"

namespace {

// Assertion numbers are what crash reports are matched against; they stay
// fixed whatever the layout of the sources.
constexpr int unknownKindAssertion = 39;

constexpr OpenModeRow openModeTable[] = {
    {GENERIC_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL},                                    // Read
    {GENERIC_READ | GENERIC_WRITE, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL},                      // ReadWrite
    {GENERIC_READ | GENERIC_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL},                    // Truncate
    {0, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL},                  // Attributes
    {GENERIC_WRITE, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL},                                     // Append
    {GENERIC_READ | GENERIC_WRITE, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | FILE_ATTRIBUTE_NORMAL},  // ReadWriteExisting
    {GENERIC_READ | GENERIC_WRITE, CREATE_NEW, FILE_ATTRIBUTE_NORMAL},                       // CreateNew
};

}  // namespace

bool LookUpOpenMode(OpenMode mode, OpenModeRow& row) {
  const auto index = static_cast<int32_t>(mode);
  if (index < 0 || index >= static_cast<int32_t>(std::size(openModeTable))) return false;
  row = openModeTable[index];
  return true;
}

bool IsWritableMode(OpenMode mode) {
  return mode == OpenMode::ReadWrite || mode == OpenMode::Truncate || mode == OpenMode::Append ||
         mode == OpenMode::ReadWriteExisting;
}

SyncHandle::SyncHandle(std::wstring path) : path(std::move(path)) {}

SyncHandle::~SyncHandle() = default;

DWORD SyncHandle::LastError() {
  SectionLock guard(lock);
  return lastError;
}

OpenMode SyncHandle::Mode() {
  SectionLock guard(lock);
  return openMode;
}

std::wstring SyncHandle::GetName() { return std::wstring(GetLastPathComponent(path)); }

int64_t SyncHandle::GetModifiedTime() { return -1; }

uint64_t SyncHandle::GetSize() { return 0; }

uint64_t SyncHandle::OpenSize() {
  SectionLock guard(lock);
  LARGE_INTEGER size;
  if (!osHandle.Valid() || !GetFileSizeEx(osHandle.Get(), &size)) return 0;
  return static_cast<uint64_t>(size.QuadPart);
}

void SyncHandle::Close() {
  SectionLock guard(lock);
  osHandle.Reset();
  openMode = OpenMode::Closed;
  lastError = ERROR_SUCCESS;
}

bool SyncHandle::Flush() { return false; }
bool SyncHandle::DeleteStreams() { return false; }
bool SyncHandle::Create() { return false; }
bool SyncHandle::IsDeletePending() { return false; }
bool SyncHandle::SetValidData(uint64_t) { return true; }

void SyncHandle::RefreshLastError(bool succeeded) {
  lastError = succeeded ? ERROR_SUCCESS : GetLastError();
}

bool SyncHandle::OpenPath(const std::wstring& target, OpenMode mode, bool unbufferedAccess, bool readOnlyRetry) {
  SectionLock guard(lock);
  Close();
  openMode = mode;
  unbuffered = unbufferedAccess;
  OpenModeRow row;
  if (!LookUpOpenMode(mode, row) || target.empty()) {
    openMode = OpenMode::Closed;
    lastError = target.empty() ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER;
    return false;
  }
  const DWORD flags = row.flags | (unbufferedAccess ? FILE_FLAG_NO_BUFFERING : 0);
  auto attempt = [&] {
    osHandle.Reset(CreateFileW(target.c_str(), row.access, handleShareMode, nullptr, row.disposition, flags, nullptr));
    if (osHandle.Valid() && mode == OpenMode::Append) {
      LARGE_INTEGER zero{};
      if (!SetFilePointerEx(osHandle.Get(), zero, nullptr, FILE_END)) {
        const DWORD error = GetLastError();
        osHandle.Reset();
        SetLastError(error);
      }
    }
    lastError = osHandle.Valid() ? ERROR_SUCCESS : GetLastError();
  };
  attempt();
  if (readOnlyRetry && IsWritableMode(mode) && lastError == ERROR_ACCESS_DENIED) {
    // A read-only file is opened for writing by clearing the attribute for
    // good; the retry includes the move to the end, so an append never
    // lands at the start.
    const DWORD attributes = GetFileAttributesW(target.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        SetFileAttributesW(target.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
      attempt();
    }
  }
  if (!osHandle.Valid()) openMode = OpenMode::Closed;
  return lastError == ERROR_SUCCESS;
}

bool SyncHandle::SeekOpen(uint64_t offset) {
  SectionLock guard(lock);
  if (!osHandle.Valid()) return false;
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(offset);
  const bool moved = SetFilePointerEx(osHandle.Get(), distance, nullptr, FILE_BEGIN);
  RefreshLastError(moved);
  return moved;
}

bool SyncHandle::SetSizeOpen(uint64_t size) {
  SectionLock guard(lock);
  if (!osHandle.Valid()) return false;
  FILE_END_OF_FILE_INFO end;
  end.EndOfFile.QuadPart = static_cast<LONGLONG>(size);
  const bool set = SetFileInformationByHandle(osHandle.Get(), FileEndOfFileInfo, &end, sizeof end);
  RefreshLastError(set);
  return set;
}

namespace {
// One ReadFile or WriteFile on an open handle; the caller holds its lock.
template <typename Buffer, typename Transfer>
uint32_t TransferOpen(HANDLE handle, DWORD& lastError, Buffer buffer, uint32_t length, Transfer transfer) {
  if (handle == INVALID_HANDLE_VALUE) return 0;
  if (buffer == nullptr && length != 0) {
    lastError = ERROR_INVALID_PARAMETER;
    return 0;
  }
  lastError = ERROR_SUCCESS;
  DWORD transferred = 0;
  if (!transfer(handle, buffer, length, &transferred, nullptr)) lastError = GetLastError();
  return transferred;
}
}  // namespace

uint32_t SyncHandle::ReadOpen(void* buffer, uint32_t length) {
  SectionLock guard(lock);
  return TransferOpen(osHandle.Get(), lastError, buffer, length, &ReadFile);
}

uint32_t SyncHandle::ReadAtOpen(void* buffer, uint32_t length, uint64_t offset) {
  SectionLock guard(lock);
  return SeekOpen(offset) ? ReadOpen(buffer, length) : 0;
}

uint32_t SyncHandle::WriteOpen(const void* buffer, uint32_t length) {
  SectionLock guard(lock);
  return TransferOpen(osHandle.Get(), lastError, buffer, length, &WriteFile);
}

uint32_t SyncHandle::WriteAtOpen(const void* buffer, uint32_t length, uint64_t offset) {
  SectionLock guard(lock);
  return SeekOpen(offset) ? WriteOpen(buffer, length) : 0;
}

bool SyncHandle::FlushOpen() {
  SectionLock guard(lock);
  if (!osHandle.Valid()) return false;
  const bool flushed = FlushFileBuffers(osHandle.Get());
  RefreshLastError(flushed);
  return flushed;
}

bool SyncHandle::CopyContentFrom(SyncHandle& source) {
  SectionLock guard(lock);
  source.Open(OpenMode::Read, false);
  const uint64_t size = source.GetSize();
  // One buffer holds the whole source; a single transfer moves at most 4 GiB.
  if (size == 0 || size > UINT32_MAX) return false;
  const auto length = static_cast<uint32_t>(size);
  const std::unique_ptr<uint8_t[]> buffer(new (std::nothrow) uint8_t[length]);
  if (!buffer) {
    lastError = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  if (source.Read(buffer.get(), length) != length) return false;
  // A short write is a failed copy, however much of it landed.
  return WriteOpen(buffer.get(), length) == length && FlushOpen();
}

std::shared_ptr<SyncHandle> CreateHandle(const PathVector& path, HandleKind kind) {
  const auto value = static_cast<int32_t>(kind);
  if (value < 1 || value > 5) ReportAssertion("handle", unknownKindAssertion, utilAssertCode);
  try {
    switch (kind) {
      case HandleKind::Folder:
        return std::make_shared<FolderHandle>(path.Join());
      case HandleKind::Symlink:
        return std::make_shared<SymlinkHandle>(path.Join());
      case HandleKind::Stream:
        return std::make_shared<StreamHandle>(path);
      default:
        return std::make_shared<FileHandle>(path.Join());
    }
  } catch (const std::exception&) {
    return nullptr;
  }
}

std::shared_ptr<SyncHandle> CreateHandle(const std::wstring& path, HandleKind kind) {
  try {
    return CreateHandle(PathVector(path), kind);
  } catch (const std::exception&) {
    return nullptr;
  }
}
