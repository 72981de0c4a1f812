#pragma once
#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <string>
#include <vector>

// The shell's own objects for a selection of items of one folder, as
// Explorer hands them to its handlers: the data object (it offers CF_HDROP)
// of a context menu, and the item array of a packaged command.
class ShellSelection {
 public:
  ~ShellSelection();

  // On failure the message says why, in one line.
  bool Build(const std::vector<std::wstring>& paths, std::wstring& message);

  IDataObject* DataObject() const { return dataObject.Get(); }
  IShellItemArray* Items() const { return items.Get(); }
  PCIDLIST_ABSOLUTE Folder() const { return folder; }

 private:
  Microsoft::WRL::ComPtr<IDataObject> dataObject;
  Microsoft::WRL::ComPtr<IShellItemArray> items;
  PIDLIST_ABSOLUTE folder = nullptr;
};
