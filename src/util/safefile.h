#pragma once
// Whole-file reads and writes that never leave a target half-written.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

struct WholeFile {
  std::unique_ptr<char[]> data;  // content followed by one NUL byte
  size_t size = 0;
  bool ok = false;
};

// Files larger than this are refused rather than held in memory.
inline constexpr uint64_t wholeFileLimit = 1ull << 30;

// The whole file in one buffer; a file that shrinks while it is read is a
// failure, never a shorter result.
WholeFile ReadWholeFile(const std::wstring& path);
// Writes beside the target (".new") and swaps it in. When the write fails
// the target keeps its old content and no side file remains.
bool WriteFileSafely(const std::wstring& path, const void* data, size_t length);
// Replaces the target by a copy of the source through a ".new" side file.
bool CopyFileSafely(const std::wstring& source, const std::wstring& target);
// DeleteFileW, clearing a read-only attribute when that is what refused it.
bool DeleteFileForce(const std::wstring& path);
// False for a null path or when the size cannot be read.
bool GetFileSizeByPath(const wchar_t* path, uint64_t& size);
bool MoveFileReplace(const std::wstring& from, const std::wstring& to);
// "base.N.extension" for the first N from the tick count on that names no
// existing file; empty when none is found after many tries.
std::wstring MakeUniqueFileName(const std::wstring& base, const std::wstring& extension);

// Puts a complete replacement file in place of the target: the old content
// survives any failure, and the replacement is gone afterwards either way.
bool PlaceReplacement(const std::wstring& target, const std::wstring& replacement);
// Writes all bytes to an open file (a HANDLE); false, with ERROR_DISK_FULL
// for a short write, when any byte did not arrive.
bool WriteAll(void* file, const void* data, size_t length);
