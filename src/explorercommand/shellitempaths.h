#pragma once
#include <windows.h>
#include <shobjidl.h>

#include <string>
#include <vector>

#include "contextmenu/menuplan.h"

// Items without a file-system path (virtual folders, search results of other
// sources) are skipped everywhere here. A null array has no items.

// The number of items in the array, with or without a path.
UINT ItemCount(IShellItemArray* items);

// The file-system path of the item at index; false when it has none.
bool FileSystemPathAt(IShellItemArray* items, UINT index, std::wstring& path);

// From index on, finds the next item with a file-system path: its path and
// index. False when there is none.
bool NextFileSystemItem(IShellItemArray* items, UINT& index, std::wstring& path);

// Hands the paths from index first on to the visitor, asking the shell for
// each one only when the visitor wants it: a name may cost a round trip to a
// slow share or a namespace extension.
void VisitFileSystemPaths(IShellItemArray* items, UINT first, const PathVisitor& visit);

// Every file-system path of the array, in its order.
std::vector<std::wstring> FileSystemPaths(IShellItemArray* items);
