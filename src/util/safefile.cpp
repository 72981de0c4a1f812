#include "util/safefile.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <new>

#include "util/strfmt.h"
#include "util/uniquehandle.h"

namespace {

// Single transfers stay well below what one ReadFile or WriteFile can count.
constexpr DWORD transferChunk = 1u << 24;

// Distinct per call and per process, so that two writers in one process
// never share a backup name.
unsigned BackupNumber() {
  static std::atomic<unsigned> counter{0};
  return GetCurrentProcessId() * 0x10000u + counter++;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

WholeFile ReadWholeFile(const std::wstring& path) {
  WholeFile result;
  const UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return result;
  LARGE_INTEGER fileSize;
  if (!GetFileSizeEx(file.Get(), &fileSize)) return result;
  if (fileSize.QuadPart < 0 || static_cast<uint64_t>(fileSize.QuadPart) > wholeFileLimit) {
    SetLastError(ERROR_FILE_TOO_LARGE);
    return result;
  }
  const auto size = static_cast<size_t>(fileSize.QuadPart);
  std::unique_ptr<char[]> data(new (std::nothrow) char[size + 1]);
  if (!data) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return result;
  }
  size_t total = 0;
  while (total < size) {
    DWORD transferred = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(size - total, transferChunk));
    if (!ReadFile(file.Get(), data.get() + total, wanted, &transferred, nullptr)) return result;
    if (transferred == 0) {
      // The file shrank since its size was read.
      SetLastError(ERROR_HANDLE_EOF);
      return result;
    }
    total += transferred;
  }
  data[size] = '\0';
  result.data = std::move(data);
  result.size = size;
  result.ok = true;
  return result;
}

bool WriteAll(void* file, const void* data, size_t length) {
  const auto* bytes = static_cast<const char*>(data);
  size_t total = 0;
  while (total < length) {
    DWORD transferred = 0;
    const DWORD wanted = static_cast<DWORD>(std::min<size_t>(length - total, transferChunk));
    if (!WriteFile(file, bytes + total, wanted, &transferred, nullptr)) return false;
    if (transferred == 0) {
      SetLastError(ERROR_DISK_FULL);
      return false;
    }
    total += transferred;
  }
  return true;
}

bool PlaceReplacement(const std::wstring& target, const std::wstring& replacement) {
  const std::wstring backup = FormatWideString(L"%s.%u.tmp", target.c_str(), BackupNumber());
  if (ReplaceFileW(target.c_str(), replacement.c_str(), backup.c_str(), REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr,
                   nullptr)) {
    DeleteFileW(backup.c_str());
    return true;
  }
  const bool copied = CopyFileW(replacement.c_str(), target.c_str(), FALSE);
  const DWORD error = GetLastError();
  // A failed replace may already have moved the old content to the backup
  // name; it goes back unless the copy has put the new content in place.
  if (!copied && !Exists(target) && Exists(backup)) MoveFileW(backup.c_str(), target.c_str());
  if (Exists(target)) DeleteFileW(backup.c_str());
  DeleteFileW(replacement.c_str());
  SetLastError(copied ? ERROR_SUCCESS : error);
  return copied;
}

bool WriteFileSafely(const std::wstring& path, const void* data, size_t length) {
  if (data == nullptr && length != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const DWORD attributes = GetFileAttributesW(path.c_str());
  const bool targetExists = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
  const std::wstring writeName = FormatWideString(L"%s%s", path.c_str(), targetExists ? L".new" : L"");
  UniqueFile file(CreateFileW(writeName.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.Valid()) return false;
  const bool written = WriteAll(file.Get(), data, length);
  const DWORD error = GetLastError();
  file.Reset();
  if (!written) {
    // The target never sees a partial write; what was written goes.
    DeleteFileW(writeName.c_str());
    SetLastError(error);
    return false;
  }
  return !targetExists || PlaceReplacement(path, writeName);
}

bool CopyFileSafely(const std::wstring& source, const std::wstring& target) {
  const std::wstring replacement = FormatWideString(L"%s.new", target.c_str());
  if (!CopyFileW(source.c_str(), replacement.c_str(), FALSE)) return false;
  return PlaceReplacement(target, replacement);
}

bool DeleteFileForce(const std::wstring& path) {
  if (DeleteFileW(path.c_str())) return true;
  if (GetLastError() != ERROR_ACCESS_DENIED) return false;
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetFileAttributesW(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
  }
  return DeleteFileW(path.c_str());
}

bool GetFileSizeByPath(const wchar_t* path, uint64_t& size) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (path == nullptr || !GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return false;
  size = static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
  return true;
}

bool MoveFileReplace(const std::wstring& from, const std::wstring& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_COPY_ALLOWED);
}

std::wstring MakeUniqueFileName(const std::wstring& base, const std::wstring& extension) {
  constexpr unsigned attempts = 100000;
  unsigned number = GetTickCount() + 1;
  for (unsigned attempt = 0; attempt < attempts; ++attempt, ++number) {
    std::wstring name = FormatWideString(L"%s.%u.%s", base.c_str(), number, extension.c_str());
    // A directory of that name is taken as much as a file.
    if (!Exists(name)) return name;
  }
  return {};
}
