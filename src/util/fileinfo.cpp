#include "util/fileinfo.h"

#include <winternl.h>

#include <memory>
#include <new>

#include "util/ntdllimports.h"
#include "util/pathvector.h"
#include "util/streaminfowalk.h"
#include "util/uniquehandle.h"

namespace {

constexpr NTSTATUS statusBufferOverflow = static_cast<NTSTATUS>(0x80000005);
// The stream list of one file; far beyond any real file's list.
constexpr ULONG streamListLimit = 4u << 20;
// No path the system hands out is longer, prefix included.
constexpr DWORD longestPath = 0x8000 + 8;

}  // namespace

FileInfo::FileInfo(std::wstring path) : path(std::move(path)) { LookUp(); }

void FileInfo::LookUp() {
  info = {};
  WIN32_FIND_DATAW found{};
  const UniqueFind find(FindFirstFileExW(path.c_str(), FindExInfoStandard, &found, FindExSearchNameMatch,
                                         nullptr, 0));
  if (!find.Valid()) {
    lastError = GetLastError();
    // The parent cannot be listed; the object itself may still be reachable.
    if (lastError == ERROR_ACCESS_DENIED) LookUpByHandle();
    return;
  }
  info.dwFileAttributes = found.dwFileAttributes;
  info.ftCreationTime = found.ftCreationTime;
  info.ftLastAccessTime = found.ftLastAccessTime;
  info.ftLastWriteTime = found.ftLastWriteTime;
  info.nFileSizeHigh = found.nFileSizeHigh;
  info.nFileSizeLow = found.nFileSizeLow;
  // A pattern or a name in another letter case matches too; only the exact
  // name counts as found.
  lastError = GetLastPathComponent(path) == std::wstring_view(found.cFileName) ? ERROR_SUCCESS
                                                                                : ERROR_FILE_NOT_FOUND;
}

void FileInfo::LookUpByHandle() {
  const UniqueFile file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.Valid()) {
    lastError = GetLastError();
    return;
  }
  BY_HANDLE_FILE_INFORMATION byHandle{};
  if (!GetFileInformationByHandle(file.Get(), &byHandle)) {
    lastError = GetLastError();
    return;
  }
  info = byHandle;
  const std::wstring onDisk = GetPathOnDiskByHandle(file.Get());
  if (onDisk.empty()) {
    lastError = GetLastError();
    if (lastError == ERROR_SUCCESS) lastError = ERROR_FILE_NOT_FOUND;
    return;
  }
  lastError = GetLastPathComponent(onDisk) == GetLastPathComponent(path) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

bool FileInfo::EnumerateStreams() {
  streams.clear();
  const NtQueryInformationFileFunction query = NtQueryInformationFileEntry();
  if (query == nullptr) return false;
  const UniqueFile file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!file.Valid()) {
    lastError = GetLastError();
    return false;
  }
  ULONG size = 1024;
  std::unique_ptr<uint8_t[]> buffer;
  NTSTATUS status;
  IO_STATUS_BLOCK io{};
  for (;;) {
    buffer.reset(new (std::nothrow) uint8_t[size]());
    if (!buffer) {
      lastError = ERROR_NOT_ENOUGH_MEMORY;
      return false;
    }
    io = {};
    status = query(file.Get(), &io, buffer.get(), size, FileStreamInformation);
    if (status != statusBufferOverflow) break;
    if (size >= streamListLimit) {
      lastError = ERROR_BUFFER_OVERFLOW;
      return false;
    }
    size *= 2;
  }
  if (status != 0) {
    lastError = NtStatusToWin32Error(status);
    return false;
  }
  const size_t filled = io.Information < size ? io.Information : size;
  try {
    for (StreamListing& listing : WalkStreamInformation(buffer.get(), filled)) {
      streams.push_back({std::wstring(listing.name.begin(), listing.name.end()), listing.size});
    }
  } catch (const std::bad_alloc&) {
    streams.clear();
    lastError = ERROR_NOT_ENOUGH_MEMORY;
    return false;
  }
  return true;
}

uint32_t FileInfo::LastWriteSeconds() const { return FileTimeToUnixSeconds(info.ftLastWriteTime); }

std::wstring GetPathOnDiskByHandle(HANDLE handle) {
  std::wstring text(MAX_PATH, L'\0');
  // The answer is either the text (shorter than the buffer) or the size the
  // buffer needs; the path may change between calls, so try a few times.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD length = GetFinalPathNameByHandleW(handle, text.data(), static_cast<DWORD>(text.size()), 0);
    if (length == 0) return {};
    if (length < text.size()) {
      text.resize(length);
      return text;
    }
    if (length > longestPath) break;
    text.assign(length, L'\0');
  }
  SetLastError(ERROR_INSUFFICIENT_BUFFER);
  return {};
}

FILETIME UnixTimeToFileTime(int64_t seconds) {
  constexpr int64_t epochDifference = 11644473600;  // 1601 to 1970
  constexpr int64_t ticksPerSecond = 10000000;
  constexpr int64_t lowest = -epochDifference;
  constexpr int64_t highest = INT64_MAX / ticksPerSecond - epochDifference;
  const int64_t clamped = seconds < lowest ? lowest : seconds > highest ? highest : seconds;
  const uint64_t ticks = static_cast<uint64_t>(clamped + epochDifference) * ticksPerSecond;
  FILETIME time;
  time.dwLowDateTime = static_cast<DWORD>(ticks);
  time.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return time;
}

LocalTime UnixTimeToLocalTime(int64_t seconds) {
  LocalTime result;
  result.unixSeconds = seconds;
  const FILETIME time = UnixTimeToFileTime(seconds);
  if (FileTimeToSystemTime(&time, &result.utc)) {
    SystemTimeToTzSpecificLocalTime(nullptr, &result.utc, &result.local);
  }
  return result;
}
