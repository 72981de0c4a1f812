#pragma once
// Checks a drop list (a DROPFILES header followed by NUL-terminated names and
// an empty name) before the system walks it: a list without its end would
// be read past its memory.
#include <cstddef>

bool IsWellFormedDropList(const void* data, size_t size);
