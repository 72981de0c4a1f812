#pragma once
#include <windows.h>
#include <shobjidl.h>

#include <string>
#include <vector>

// The file-system path of each item, in the array's order; items without one
// (virtual folders, search results of other sources) are left out. Empty for
// a null array.
std::vector<std::wstring> FileSystemPaths(IShellItemArray* items);
