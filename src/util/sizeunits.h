#pragma once
// Names of the size units used by the formatter's %z and %Z. They start as
// the English texts; the language pack replaces them once it has loaded.
#include <cstddef>

enum class SizeUnit { Bytes = 0, Exabytes = 1, Gigabytes = 2, Kilobytes = 3, Megabytes = 4, Petabytes = 5, Terabytes = 6 };

// The stored name; stays valid for the life of the process.
const wchar_t* SizeUnitName(SizeUnit unit);
// Copies the seven names, indexed like SizeUnit (text-table order 0 to 6);
// each is kept up to its first 15 units. A null table or name is ignored.
void SetSizeUnitNames(const wchar_t* const names[7]);
// Copies the name into out (terminated) under the names' lock, so that a
// formatter on another thread never reads a name while it is replaced;
// returns its length.
size_t CopySizeUnitName(SizeUnit unit, wchar_t* out, size_t capacity);
