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

WholeFile ReadWholeFile(const std::wstring& path);
bool WriteFileSafely(const std::wstring& path, const void* data, size_t length);
