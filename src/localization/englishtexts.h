#pragma once
// The module's own English texts: one 8-bit (ISO-8859-1) block in index
// order, every entry ended by a NUL byte; a 0x01 byte inside an entry
// separates its parts.
#include <string_view>

std::string_view EnglishTextBlock();
