#pragma once
#include <string>

// Creates every directory along the path whose name ends in a '\' (so a
// trailing '\' makes the last one too); existing directories are fine. On
// failure the thread's last error is that of the failing creation.
bool CreateDirectoryTree(const std::wstring& path);
