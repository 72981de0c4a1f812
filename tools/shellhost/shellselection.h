#pragma once
#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <string>
#include <vector>

// The shell's own data object for a selection of items of one folder, as
// Explorer hands it to a context-menu handler (it offers CF_HDROP).
class ShellSelection {
 public:
  ~ShellSelection();

  // On failure the message says why, in one line.
  bool Build(const std::vector<std::wstring>& paths, std::wstring& message);

  IDataObject* DataObject() const { return dataObject.Get(); }
  PCIDLIST_ABSOLUTE Folder() const { return folder; }

 private:
  Microsoft::WRL::ComPtr<IDataObject> dataObject;
  PIDLIST_ABSOLUTE folder = nullptr;
};
