#pragma once
// What the file system says about a path without opening it for data, and
// the conversions between Unix seconds and Windows times.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct StreamEntry {
  std::wstring name;
  uint64_t size = 0;
};

class FileInfo {
 public:
  // Looks the path up at once; lastError is 0 when it was found with exactly
  // this letter case.
  explicit FileInfo(std::wstring path);

  bool Found() const { return lastError == ERROR_SUCCESS; }
  // The named data streams of non-zero size; false (and an empty list) when
  // the file system cannot list them.
  bool EnumerateStreams();
  // Seconds since 1970 of the last write; 0 before 1970 or when unknown.
  uint32_t LastWriteSeconds() const;

  std::wstring path;
  DWORD lastError = ERROR_SUCCESS;
  std::vector<StreamEntry> streams;
  BY_HANDLE_FILE_INFORMATION info{};

 private:
  void LookUp();
  void LookUpByHandle();
};

// The final path of an open object (with its \\?\ prefix); empty on failure.
std::wstring GetPathOnDiskByHandle(HANDLE handle);

struct LocalTime {
  SYSTEMTIME local{};
  SYSTEMTIME utc{};
  int64_t unixSeconds = 0;
};

// Seconds before 1970 are fine down to 1601; times beyond what a FILETIME
// holds are clamped to its range.
FILETIME UnixTimeToFileTime(int64_t seconds);
LocalTime UnixTimeToLocalTime(int64_t seconds);
