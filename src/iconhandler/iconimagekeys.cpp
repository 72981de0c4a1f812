#include "iconhandler/iconimagekeys.h"

std::wstring FileTypeImageKey(std::wstring_view name, unsigned side) {
  const size_t dot = name.rfind(L'.');
  std::wstring key = dot == std::wstring_view::npos ? std::wstring(L".") : std::wstring(name.substr(dot));
  key += L'@';
  key += std::to_wstring(side);
  return key;
}

std::wstring OverlayImageKey(int32_t progress, unsigned side) {
  return std::to_wstring(progress) + L'@' + std::to_wstring(side);
}
