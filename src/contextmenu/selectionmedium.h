#pragma once
// The CF_HDROP medium of the selection, released exactly once.
#include <windows.h>
#include <objidl.h>
#include <shellapi.h>

#include <functional>
#include <string>

class SelectionMedium {
 public:
  SelectionMedium() = default;
  ~SelectionMedium() { Release(); }
  SelectionMedium(const SelectionMedium&) = delete;
  SelectionMedium& operator=(const SelectionMedium&) = delete;

  // Releases what is held and asks the data object for its drop list;
  // the HRESULT of GetData, or ERROR_INVALID_DATA for a list without its
  // end. A failed medium is not kept.
  HRESULT Fetch(IDataObject* dataObject);
  void Release();

  HDROP Drop() const { return static_cast<HDROP>(medium.hGlobal); }

  // Hands the full path of each of the first count items to visit, in
  // order, until visit returns false. One pass over the list: asking the
  // system for item i walks all items before it.
  void VisitPaths(UINT count, const std::function<bool(const std::wstring& path)>& visit) const;

 private:
  STGMEDIUM medium{};
  bool held = false;
};
