#pragma once
// A symbolic link: opened like a file, written as its link text.
#include "util/filehandle.h"

class SymlinkHandle : public FileHandle {
 public:
  explicit SymlinkHandle(std::wstring path) : FileHandle(std::move(path)) {}

  bool Seek(uint64_t) override { return false; }
  bool SetSize(uint64_t) override { return false; }
  uint64_t GetSize() override { return 0; }
  uint32_t Read(void*, uint32_t) override { return 0; }
  uint32_t ReadAt(void*, uint32_t, uint64_t) override { return 0; }
  // Replaces the link text with the wide text in the buffer, up to its NUL
  // or the end of the buffer's length in bytes; the result is the new
  // length in characters.
  uint32_t Write(const void* buffer, uint32_t length) override;
  uint32_t WriteAt(const void*, uint32_t, uint64_t) override { return 0; }
  bool Flush() override { return false; }
  bool CopyFrom(const std::wstring&, HandleKind) override { return false; }
  bool Create() override { return true; }
  HandleKind GetKind() override { return HandleKind::Symlink; }

  std::wstring LinkText();

 private:
  std::wstring linkText;
};
