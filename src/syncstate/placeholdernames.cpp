#include "syncstate/placeholdernames.h"

namespace {
constexpr size_t shellPathLimit = 260;
}  // namespace

bool IsPlaceholderExtension(std::wstring_view extension) {
  constexpr std::wstring_view placeholder = L".tmvs";
  if (extension.size() != placeholder.size()) return false;
  for (size_t i = 0; i < extension.size(); ++i) {
    wchar_t c = extension[i];
    if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    if (c != placeholder[i]) return false;
  }
  return true;
}

std::wstring PlaceholderTargetName(std::wstring_view path, size_t extensionStart, bool isFolder) {
  std::wstring name(path.substr(0, extensionStart));
  if (isFolder) name += folderPseudoExtension;
  return name;
}

std::wstring ShellQueryName(std::wstring_view name) {
  if (name.size() < shellPathLimit) return std::wstring(name);
  const size_t separator = name.find_last_of(L"\\/");
  const size_t dot = name.rfind(L'.');
  std::wstring shortName = L"placeholder";
  if (dot != std::wstring_view::npos && (separator == std::wstring_view::npos || dot > separator)) {
    // An extension longer than the limit says nothing the shell could match.
    const std::wstring_view extension = name.substr(dot);
    if (extension.size() < shellPathLimit - shortName.size()) shortName += extension;
  }
  return shortName;
}
