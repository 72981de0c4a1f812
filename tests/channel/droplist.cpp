#include "droplist.h"

#include <shlobj.h>

#include <cstring>

DropList::DropList(const std::vector<std::wstring>& paths) : count(static_cast<UINT>(paths.size())) {
  size_t units = 1;
  for (const auto& path : paths) units += path.size() + 1;
  memory = GlobalAlloc(GHND, sizeof(DROPFILES) + units * sizeof(wchar_t));
  if (!memory) return;
  auto* header = static_cast<DROPFILES*>(GlobalLock(memory));
  header->pFiles = sizeof(DROPFILES);
  header->fWide = TRUE;
  auto* out = reinterpret_cast<wchar_t*>(header + 1);
  for (const auto& path : paths) {
    std::memcpy(out, path.c_str(), (path.size() + 1) * sizeof(wchar_t));
    out += path.size() + 1;
  }
  *out = L'\0';
  GlobalUnlock(memory);
}

DropList::~DropList() {
  if (memory) GlobalFree(memory);
}

HGLOBAL DropList::Duplicate() const {
  const SIZE_T size = GlobalSize(memory);
  HGLOBAL copy = GlobalAlloc(GHND, size);
  if (!copy) return nullptr;
  std::memcpy(GlobalLock(copy), GlobalLock(memory), size);
  GlobalUnlock(memory);
  GlobalUnlock(copy);
  return copy;
}
