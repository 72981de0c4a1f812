#pragma once
#include <cstddef>

// The application's records are a few hundred bytes; anything much larger is
// not one of them and is never read into memory.
constexpr size_t maxRecordBytes = 64 * 1024;
