#include "explorercommand/shellitempaths.h"

#include <wrl/client.h>

#include "util/uniquehandle.h"

UINT ItemCount(IShellItemArray* items) {
  DWORD count = 0;
  if (!items || FAILED(items->GetCount(&count))) return 0;
  return count;
}

bool FileSystemPathAt(IShellItemArray* items, UINT index, std::wstring& path) {
  Microsoft::WRL::ComPtr<IShellItem> item;
  if (!items || FAILED(items->GetItemAt(index, &item)) || !item) return false;
  UniqueCoTaskText name;
  if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, name.Put())) || !name.Get()) return false;
  path = name.Get();
  return true;
}

bool NextFileSystemItem(IShellItemArray* items, UINT& index, std::wstring& path) {
  for (const UINT count = ItemCount(items); index < count; ++index)
    if (FileSystemPathAt(items, index, path)) return true;
  return false;
}

void VisitFileSystemPaths(IShellItemArray* items, UINT first, const PathVisitor& visit) {
  std::wstring path;
  for (UINT index = first, count = ItemCount(items); index < count; ++index)
    if (FileSystemPathAt(items, index, path) && !visit(path)) return;
}

std::vector<std::wstring> FileSystemPaths(IShellItemArray* items) {
  std::vector<std::wstring> paths;
  paths.reserve(ItemCount(items));
  VisitFileSystemPaths(items, 0, [&paths](const std::wstring& path) {
    paths.push_back(path);
    return true;
  });
  return paths;
}
