#pragma once
// Names of the size units used by the formatter's %z and %Z. They start as
// the English texts; the language pack replaces them once it has loaded.
enum class SizeUnit { Bytes = 0, Exabytes = 1, Gigabytes = 2, Kilobytes = 3, Megabytes = 4, Petabytes = 5, Terabytes = 6 };

const wchar_t* SizeUnitName(SizeUnit unit);
// Copies the seven names, indexed like SizeUnit (text-table order 0 to 6).
void SetSizeUnitNames(const wchar_t* const names[7]);
