#include "util/folderhandle.h"

#include <new>
#include <vector>

#include "util/directorytree.h"
#include "util/safefile.h"
#include "util/strfmt.h"

namespace {

// The entry of the path itself, for its attributes and reparse tag.
TreeEntryAction ClassifyRoot(const std::wstring& path) {
  WIN32_FIND_DATAW entry;
  const UniqueFind find(FindFirstFileExW(path.c_str(), FindExInfoStandard, &entry, FindExSearchNameMatch, nullptr, 0));
  if (!find.Valid()) return TreeEntryAction::Descend;
  return ClassifyTreeEntry(entry.dwFileAttributes, entry.dwReserved0, L"");
}

}  // namespace

TreeEntryAction ClassifyTreeEntry(uint32_t attributes, uint32_t reparseTag, std::wstring_view name) {
  if (!(attributes & FILE_ATTRIBUTE_DIRECTORY)) return TreeEntryAction::DeleteFile;
  if (name == L"." || name == L"..") return TreeEntryAction::Skip;
  if ((attributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(reparseTag)) {
    return TreeEntryAction::RemoveLink;
  }
  return TreeEntryAction::Descend;
}

bool FolderHandle::Delete(bool recursive) {
  SectionLock guard(lock);
  if (recursive && ClassifyRoot(path) == TreeEntryAction::Descend) {
    // The pending list grows with the tree on disk.
    try {
      return DeleteTree();
    } catch (const std::bad_alloc&) {
      lastError = ERROR_NOT_ENOUGH_MEMORY;
      return false;
    }
  }
  const bool removed = RemoveDirectoryW(path.c_str());
  RefreshLastError(removed);
  return removed;
}

bool FolderHandle::DeleteTree() {
  struct Pending {
    std::wstring directory;
    bool listed;
  };
  // An explicit stack: the depth of the tree on disk must not decide the
  // depth of our own stack.
  std::vector<Pending> pending{{path, false}};
  for (;;) {
    if (pending.back().listed) {
      const bool removed = RemoveDirectoryW(pending.back().directory.c_str());
      if (pending.size() == 1) {
        RefreshLastError(removed);
        return removed;
      }
      pending.pop_back();
      continue;
    }
    pending.back().listed = true;
    const std::wstring directory = pending.back().directory;
    WIN32_FIND_DATAW entry;
    const UniqueFind find(FindFirstFileW(FormatWideString(L"%s\\*.*", directory.c_str()).c_str(), &entry));
    if (!find.Valid()) continue;
    do {
      const TreeEntryAction action = ClassifyTreeEntry(entry.dwFileAttributes, entry.dwReserved0, entry.cFileName);
      if (action == TreeEntryAction::Skip) continue;
      std::wstring child = FormatWideString(L"%s\\%s", directory.c_str(), entry.cFileName);
      switch (action) {
        case TreeEntryAction::Descend:
          pending.push_back({std::move(child), false});
          break;
        case TreeEntryAction::RemoveLink:
          RemoveDirectoryW(child.c_str());
          break;
        default:
          DeleteFileForce(child);
          break;
      }
    } while (FindNextFileW(find.Get(), &entry));
  }
}

bool FolderHandle::Create() {
  SectionLock guard(lock);
  const bool created = CreateDirectoryTree(path + L"\\");
  RefreshLastError(created);
  return created;
}
