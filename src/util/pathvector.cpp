#include "util/pathvector.h"

namespace {

constexpr std::wstring_view longPrefix = L"\\\\?\\";
constexpr std::wstring_view longUncPrefix = L"\\\\?\\UNC\\";

// Index just past the second '\' at or after start, or npos.
size_t SkipTwoNames(std::wstring_view path, size_t start) {
  const size_t first = path.find(L'\\', start);
  if (first == std::wstring_view::npos) return std::wstring_view::npos;
  const size_t second = path.find(L'\\', first + 1);
  if (second == std::wstring_view::npos) return std::wstring_view::npos;
  return second + 1;
}

}  // namespace

TokenVector::TokenVector(std::wstring_view text, wchar_t separator) : separator(separator) {
  AppendSplit(text);
}

void TokenVector::Assign(std::wstring_view text) {
  clear();
  AppendSplit(text);
}

void TokenVector::AppendSplit(std::wstring_view text) {
  size_t begin = 0;
  while (begin <= text.size()) {
    size_t end = text.find(separator, begin);
    if (end == std::wstring_view::npos) end = text.size();
    if (end > begin) emplace_back(text.substr(begin, end - begin));
    begin = end + 1;
  }
}

std::wstring TokenVector::Join(wchar_t joinWith) const {
  std::wstring joined;
  joined.reserve(256);
  for (size_t index = 0; index < size(); ++index) {
    if (index != 0) joined.push_back(joinWith);
    joined.append((*this)[index]);
  }
  return joined;
}

PathVector::PathVector(std::wstring_view path) : TokenVector(L'\\') { PathVector::Assign(path); }

void PathVector::Assign(std::wstring_view path) {
  clear();
  const size_t length = path.size();
  if (length == 0) return;
  if (length >= 6 && path.starts_with(longPrefix)) {
    if (path[5] == L':') {
      emplace_back(path.substr(0, 6));
      // Split from the character after the drive: a separator there leaves no
      // trace, anything else is kept rather than dropped.
      AppendSplit(path.substr(6));
    } else if (length > 9 && path.starts_with(longUncPrefix)) {
      emplace_back(path.substr(0, 7));
      AppendSplit(path.substr(8));
    }
    return;
  }
  if (length > 2 && path[0] == L'\\' && path[1] == L'\\') {
    emplace_back(L"\\");
    AppendSplit(path.substr(2));
    return;
  }
  AppendSplit(path);
}

bool PathVector::Equals(const PathVector& other) const {
  return separator == other.separator && static_cast<const std::vector<std::wstring>&>(*this) ==
                                             static_cast<const std::vector<std::wstring>&>(other);
}

std::wstring_view GetLastPathComponent(std::wstring_view path) {
  const size_t last = path.find_last_of(L"\\/");
  return last == std::wstring_view::npos ? path : path.substr(last + 1);
}

size_t DirectoryTreeStart(std::wstring_view path) {
  if (path.starts_with(longUncPrefix)) return SkipTwoNames(path, longUncPrefix.size());
  if (path.starts_with(longPrefix)) {
    const std::wstring_view rest = path.substr(longPrefix.size());
    if (rest.size() >= 3 && rest[1] == L':' && rest[2] == L'\\') return longPrefix.size() + 3;
    // A volume name such as Volume{...} is a root, never a directory to create.
    const size_t end = rest.find(L'\\');
    return end == std::wstring_view::npos ? path.size() : longPrefix.size() + end + 1;
  }
  if (path.size() >= 2 && path[0] == L'\\' && path[1] == L'\\') return SkipTwoNames(path, 2);
  if (path.size() >= 3 && path[1] == L':') return 3;
  return 0;
}
