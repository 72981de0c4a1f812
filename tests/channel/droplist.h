#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

// A CF_HDROP drop list of the paths, as the shell hands it over; freed with
// the object.
class DropList {
 public:
  explicit DropList(const std::vector<std::wstring>& paths);
  ~DropList();
  DropList(const DropList&) = delete;
  DropList& operator=(const DropList&) = delete;

  HDROP Get() const { return static_cast<HDROP>(memory); }
  UINT Count() const { return count; }
  // A copy for a receiver that frees it (a STGMEDIUM handed out).
  HGLOBAL Duplicate() const;

 private:
  HGLOBAL memory = nullptr;
  UINT count = 0;
};
