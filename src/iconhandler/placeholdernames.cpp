#include "iconhandler/placeholdernames.h"

namespace {

constexpr size_t shellPathLimit = 260;

wchar_t ClassLetter(IconSizeClass sizeClass) { return sizeClass == IconSizeClass::Large ? L'L' : L'S'; }

}  // namespace

std::wstring PlaceholderTargetName(std::wstring_view path, size_t extensionStart, bool isFolder) {
  std::wstring name(path.substr(0, extensionStart));
  if (isFolder) name += folderPseudoExtension;
  return name;
}

std::wstring FileTypeImageKey(std::wstring_view name, IconSizeClass sizeClass) {
  const size_t dot = name.rfind(L'.');
  std::wstring key = dot == std::wstring_view::npos ? std::wstring(L".") : std::wstring(name.substr(dot));
  key += ClassLetter(sizeClass);
  return key;
}

std::wstring OverlayImageKey(int32_t progress, IconSizeClass sizeClass) {
  std::wstring key = std::to_wstring(progress);
  key += ClassLetter(sizeClass);
  return key;
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
