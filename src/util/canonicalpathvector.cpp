#include "util/canonicalpathvector.h"

#include <windows.h>

#include <algorithm>

namespace {

// The absolute form through the system's own rules: relative and
// drive-relative paths, '/' and trailing dots and blanks as Win32 sees them.
// Empty when the system cannot resolve the path.
std::wstring FullPathName(const std::wstring& path) {
  std::wstring full(MAX_PATH, L'\0');
  for (int attempt = 0; attempt < 3; ++attempt) {
    const DWORD length = GetFullPathNameW(path.c_str(), static_cast<DWORD>(full.size()), full.data(), nullptr);
    if (length == 0) return {};
    if (length < full.size()) {
      full.resize(length);
      return full;
    }
    if (length > 0x8000 + 8) break;
    full.assign(length, L'\0');
  }
  return {};
}

// Components that belong to the root and that ".." must not remove.
size_t RootComponentCount(const PathVector& path) {
  if (path.empty()) return 0;
  const std::wstring& first = path.front();
  if (first == L"\\" || first == L"\\\\?\\UNC") return 3;
  if (first.starts_with(L"\\\\?\\") || (first.size() == 2 && first[1] == L':')) return 1;
  return 0;
}

}  // namespace

CanonicalPathVector::CanonicalPathVector(std::wstring_view path) { CanonicalPathVector::Assign(path); }

CanonicalPathVector::CanonicalPathVector(const PathVector& other) {
  CanonicalPathVector::Assign(other.Join());
}

void CanonicalPathVector::Assign(std::wstring_view path) {
  clear();
  if (path.empty()) return;
  const std::wstring text(path);
  // Long paths bypass Win32 normalisation by definition; only the dots are
  // resolved there, with the prefix kept as the root.
  if (text.starts_with(L"\\\\?\\")) {
    PathVector::Assign(text);
  } else {
    PathVector::Assign(FullPathName(text));
  }
  ResolveDotComponents(*this);
}

bool CanonicalPathVector::Equals(const PathVector& other) const {
  if (other.IsCanonical()) return PathVector::Equals(other);
  return PathVector::Equals(CanonicalPathVector(other));
}

void ResolveDotComponents(PathVector& path) {
  const size_t root = std::min(RootComponentCount(path), path.size());
  size_t kept = root;
  for (size_t index = root; index < path.size(); ++index) {
    if (path[index] == L".") continue;
    if (path[index] == L"..") {
      if (kept > root) --kept;
      continue;
    }
    if (kept != index) path[kept] = std::move(path[index]);
    ++kept;
  }
  path.resize(kept);
}
