#pragma once
// The drop list (a DROPFILES header followed by NUL-terminated names and an
// empty name) read straight from its memory: checked before anything walks
// it, then walked once from the first name to the last.
#include <cstddef>
#include <string_view>

// A list without its end would be read past its memory.
bool IsWellFormedDropList(const void* data, size_t size);

// The names one after the other; every read stays inside the memory given.
class DropListNames {
 public:
  DropListNames(const void* data, size_t size);
  // UTF-16 names; otherwise names in the ANSI code page.
  bool Wide() const { return unit == 2; }
  // The next name's bytes without its NUL; false after the last name.
  bool Next(std::string_view& name);

 private:
  const unsigned char* bytes;
  size_t size;
  size_t unit = 1;
  size_t at = 0;
};
