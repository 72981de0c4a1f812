#pragma once
// A directory: no data access; deletes and creates whole trees.
#include <string_view>

#include "util/filehandle.h"

class FolderHandle : public FileHandle {
 public:
  explicit FolderHandle(std::wstring path) : FileHandle(std::move(path)) {}

  bool Seek(uint64_t) override { return false; }
  bool SetSize(uint64_t) override { return false; }
  uint64_t GetSize() override { return 0; }
  uint32_t Read(void*, uint32_t) override { return 0; }
  uint32_t ReadAt(void*, uint32_t, uint64_t) override { return 0; }
  uint32_t Write(const void*, uint32_t) override { return 0; }
  uint32_t WriteAt(const void*, uint32_t, uint64_t) override { return 0; }
  bool Flush() override { return false; }
  bool CopyFrom(const std::wstring&, HandleKind) override { return false; }
  // Recursive: the whole tree, without ever following a junction or a
  // directory link into its target.
  bool Delete(bool recursive) override;
  // The directory and every missing one above it.
  bool Create() override;
  HandleKind GetKind() override { return HandleKind::Folder; }

 private:
  bool DeleteTree();
};

enum class TreeEntryAction { Skip, Descend, RemoveLink, DeleteFile };

// What the tree delete does with one directory entry. A directory that is a
// name surrogate (junction, directory symbolic link) is removed as a link:
// descending would delete what it points to.
TreeEntryAction ClassifyTreeEntry(uint32_t attributes, uint32_t reparseTag, std::wstring_view name);
