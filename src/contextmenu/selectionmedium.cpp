#include "contextmenu/selectionmedium.h"

#include <vector>

#include "contextmenu/droplist.h"

namespace {
bool HoldsWellFormedDropList(HGLOBAL global) {
  const void* data = GlobalLock(global);
  if (!data) return false;
  const bool wellFormed = IsWellFormedDropList(data, GlobalSize(global));
  GlobalUnlock(global);
  return wellFormed;
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
  if (!HoldsWellFormedDropList(medium.hGlobal)) {
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

std::wstring DropItemPath(HDROP drop, UINT index) {
  // Ask for the length first: a fixed buffer would cut a long path into the
  // path of some other item.
  const UINT length = DragQueryFileW(drop, index, nullptr, 0);
  if (length == 0) return {};
  std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
  const UINT copied = DragQueryFileW(drop, index, buffer.data(), length + 1);
  return std::wstring(buffer.data(), copied <= length ? copied : length);
}
