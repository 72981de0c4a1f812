#include "contextmenu/selectionmedium.h"

#include <cstring>

#include "contextmenu/droplist.h"

namespace {

class LockedGlobal {
 public:
  explicit LockedGlobal(HGLOBAL global) : global(global), data(global ? GlobalLock(global) : nullptr) {}
  ~LockedGlobal() {
    if (data) GlobalUnlock(global);
  }
  LockedGlobal(const LockedGlobal&) = delete;
  LockedGlobal& operator=(const LockedGlobal&) = delete;

  const void* Data() const { return data; }
  size_t Size() const { return data ? GlobalSize(global) : 0; }

 private:
  HGLOBAL global;
  const void* data;
};

std::wstring PathOfName(std::string_view name, bool wide) {
  if (wide) {
    std::wstring path(name.size() / sizeof(wchar_t), L'\0');
    std::memcpy(path.data(), name.data(), path.size() * sizeof(wchar_t));
    return path;
  }
  const int length = MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring path(static_cast<size_t>(length), L'\0');
  MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), path.data(), length);
  return path;
}

}  // namespace

HRESULT SelectionMedium::Fetch(IDataObject* dataObject) {
  Release();
  FORMATETC format{CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
  STGMEDIUM fetched{};
  const HRESULT result = dataObject->GetData(&format, &fetched);
  if (FAILED(result)) return result;
  medium = fetched;
  held = true;
  if (medium.tymed != TYMED_HGLOBAL || !medium.hGlobal) {
    // Anything but a global handle cannot be a drop list.
    Release();
    return result;
  }
  bool wellFormed = false;
  {
    const LockedGlobal list(medium.hGlobal);
    wellFormed = IsWellFormedDropList(list.Data(), list.Size());
  }
  if (!wellFormed) {
    Release();
    return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
  }
  return result;
}

void SelectionMedium::Release() {
  if (held) ReleaseStgMedium(&medium);
  medium = STGMEDIUM{};
  held = false;
}

void SelectionMedium::VisitPaths(UINT count, const std::function<bool(const std::wstring& path)>& visit) const {
  const LockedGlobal list(medium.hGlobal);
  DropListNames names(list.Data(), list.Size());
  std::string_view name;
  for (UINT index = 0; index < count && names.Next(name); ++index)
    if (!visit(PathOfName(name, names.Wide()))) return;
}
