#pragma once
// The CF_HDROP medium of the selection, released exactly once.
#include <windows.h>
#include <objidl.h>
#include <shellapi.h>

#include <string>

class SelectionMedium {
 public:
  SelectionMedium() = default;
  ~SelectionMedium() { Release(); }
  SelectionMedium(const SelectionMedium&) = delete;
  SelectionMedium& operator=(const SelectionMedium&) = delete;

  // Releases what is held and asks the data object for its drop list;
  // the HRESULT of GetData. A failed medium is not kept.
  HRESULT Fetch(IDataObject* dataObject);
  void Release();

  HDROP Drop() const { return static_cast<HDROP>(medium.hGlobal); }

 private:
  STGMEDIUM medium{};
  bool held = false;
};

// The full path of one item of the drop list, however long; empty when the
// list holds no text for it.
std::wstring DropItemPath(HDROP drop, UINT index);
