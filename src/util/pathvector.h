#pragma once
// Paths split into components. The long-path forms \\?\X: and \\?\UNC and the
// network root of \\server\share stay intact as a first component, so joining
// the components gives the path back. Pure text work: no file-system access.
#include <string>
#include <string_view>
#include <vector>

class TokenVector : public std::vector<std::wstring> {
 public:
  explicit TokenVector(wchar_t separator = L'\\') : separator(separator) {}
  TokenVector(std::wstring_view text, wchar_t separator);
  virtual ~TokenVector() = default;

  // Clears, then splits at every separator; empty pieces leave no trace.
  virtual void Assign(std::wstring_view text);

  std::wstring Join(wchar_t joinWith) const;
  std::wstring Join() const { return Join(separator); }
  wchar_t Separator() const { return separator; }

 protected:
  void AppendSplit(std::wstring_view text);

  wchar_t separator;
};

class PathVector : public TokenVector {
 public:
  PathVector() : TokenVector(L'\\') {}
  explicit PathVector(std::wstring_view path);

  void Assign(std::wstring_view path) override;
  virtual bool IsCanonical() const { return false; }
  // Component-wise and case-sensitive.
  virtual bool Equals(const PathVector& other) const;
};

// The text after the last '\' or '/'; the whole path when it has neither.
std::wstring_view GetLastPathComponent(std::wstring_view path);

// Where the directories that CreateDirectoryTree may create begin: the index
// just past the root (drive, share or long-path prefix), or npos for a network
// path without both server and share.
size_t DirectoryTreeStart(std::wstring_view path);
