#include "log/logfile.h"

#include "util/uniquehandle.h"

namespace {

// No FILE_WRITE_DATA: the system then puts every write at the current end
// of the file. Reading attributes serves the identity check.
constexpr DWORD appendOnlyAccess = FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE;

bool SameFile(const BY_HANDLE_FILE_INFORMATION& a, const BY_HANDLE_FILE_INFORMATION& b) {
  return a.dwVolumeSerialNumber == b.dwVolumeSerialNumber && a.nFileIndexHigh == b.nFileIndexHigh &&
         a.nFileIndexLow == b.nFileIndexLow;
}

}  // namespace

bool LogFile::Open(OpenMode mode, bool unbufferedAccess) {
  if (mode != OpenMode::Append) return FileHandle::Open(mode, unbufferedAccess);
  SectionLock guard(lock);
  Close();
  if (path.empty()) {
    lastError = ERROR_PATH_NOT_FOUND;
    return false;
  }
  openMode = mode;
  unbuffered = unbufferedAccess;
  const DWORD flags = FILE_ATTRIBUTE_NORMAL | (unbufferedAccess ? FILE_FLAG_NO_BUFFERING : 0);
  auto attempt = [&] {
    osHandle.Reset(CreateFileW(path.c_str(), appendOnlyAccess, handleShareMode, nullptr, OPEN_ALWAYS, flags, nullptr));
    lastError = osHandle.Valid() ? ERROR_SUCCESS : GetLastError();
  };
  attempt();
  // Like every writable open of the layer: a read-only file loses the
  // attribute for good.
  if (lastError == ERROR_ACCESS_DENIED) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY) &&
        SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY)) {
      attempt();
    }
  }
  if (!osHandle.Valid()) openMode = OpenMode::Closed;
  return lastError == ERROR_SUCCESS;
}

bool LogFile::IsReplacedAtPath() {
  SectionLock guard(lock);
  if (!osHandle.Valid()) return false;
  const UniqueFile atPath(CreateFileW(path.c_str(), FILE_READ_ATTRIBUTES, handleShareMode, nullptr, OPEN_EXISTING,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!atPath.Valid()) return false;
  BY_HANDLE_FILE_INFORMATION held{};
  BY_HANDLE_FILE_INFORMATION named{};
  if (!GetFileInformationByHandle(osHandle.Get(), &held) || !GetFileInformationByHandle(atPath.Get(), &named))
    return false;
  return !SameFile(held, named);
}
