#include "iconhandler/iconimagekeys.h"

namespace {
wchar_t ClassLetter(IconSizeClass sizeClass) { return sizeClass == IconSizeClass::Large ? L'L' : L'S'; }
}  // namespace

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
