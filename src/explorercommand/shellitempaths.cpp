#include "explorercommand/shellitempaths.h"

#include <wrl/client.h>

#include "util/uniquehandle.h"

std::vector<std::wstring> FileSystemPaths(IShellItemArray* items) {
  std::vector<std::wstring> paths;
  DWORD count = 0;
  if (!items || FAILED(items->GetCount(&count))) return paths;
  paths.reserve(count);
  for (DWORD index = 0; index < count; ++index) {
    Microsoft::WRL::ComPtr<IShellItem> item;
    if (FAILED(items->GetItemAt(index, &item)) || !item) continue;
    UniqueCoTaskText name;
    if (FAILED(item->GetDisplayName(SIGDN_FILESYSPATH, name.Put())) || !name.Get()) continue;
    paths.emplace_back(name.Get());
  }
  return paths;
}
