#include "util/directorytree.h"

#include <windows.h>

#include "util/pathvector.h"

bool CreateDirectoryTree(const std::wstring& path) {
  const size_t start = DirectoryTreeStart(path);
  if (start == std::wstring::npos) {
    SetLastError(ERROR_BAD_PATHNAME);
    return false;
  }
  std::wstring prefix;
  for (size_t end = path.find(L'\\', start); end != std::wstring::npos; end = path.find(L'\\', end + 1)) {
    // An empty component (a leading or doubled '\') names no new directory.
    if (end == 0 || path[end - 1] == L'\\') continue;
    prefix.assign(path, 0, end);
    if (!CreateDirectoryW(prefix.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  }
  SetLastError(ERROR_SUCCESS);
  return true;
}
