#pragma once
// What the menu tests hand the handler and read back: a data object over a
// drop list, synchronised-folder fixtures, the menu's items, the log lines
// of this process and DLL copies loaded from folders of their own.
#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "support/testfiles.h"

using Microsoft::WRL::ComPtr;

// A data object whose only format is CF_HDROP over the given bytes (a
// DROPFILES block), or one that offers no format at all.
ComPtr<IDataObject> DropDataObject(const std::vector<std::wstring>& paths);
ComPtr<IDataObject> RawDropDataObject(std::string bytes);
ComPtr<IDataObject> EmptyDataObject();
std::string DropListBytes(const std::vector<std::wstring>& paths);

// ".sync\ID" with its identity stream under root (created when missing).
void MakeSyncRoot(const std::wstring& root, const std::string& record);
// "d31:disable_remove_from_all_devicesi1e4:modei..e5:owner..4:typei..e"
std::string FolderRecord(int type, int mode, const std::wstring& owner, bool disableRemoveFromAll = false);
// A placeholder file with its state stream.
void MakePlaceholder(const std::wstring& path, const std::string& state);
std::wstring CurrentUser();

struct MenuItem {
  std::wstring text;
  UINT id = 0;
  bool greyed = false;
  HBITMAP bitmap = nullptr;
};
std::vector<MenuItem> ReadMenu(HMENU menu);

// Messages of this process in the extension log, without their prefixes.
std::vector<std::wstring> LogMessagesOfThisProcess();
// The log folder exists, so the log can be written.
void EnsureLogFolder();

// The uninstall key under the root, removed when the object goes.
class InstallLocationKey : public ScopedRegistryKey {
 public:
  InstallLocationKey(HKEY root, const std::wstring& location, DWORD type = REG_SZ);
};

// Copies the built DLL into the folder (created when missing); its path.
std::wstring PlaceDllCopy(const std::wstring& folder);

// A fresh copy of the built DLL in a folder of its own, loaded from there.
class DllCopy {
 public:
  // linkFrom: make the copy a hard link to this file instead.
  explicit DllCopy(const std::wstring& folder, const std::wstring& linkFrom = {});
  ~DllCopy();
  DllCopy(const DllCopy&) = delete;
  DllCopy& operator=(const DllCopy&) = delete;

  bool Loaded() const { return module != nullptr; }
  const std::wstring& Path() const { return path; }
  ComPtr<IClassFactory> Factory() const;
  ComPtr<IContextMenu> CreateMenu() const;

 private:
  std::wstring path;
  HMODULE module = nullptr;
};

// Initialize, then QueryContextMenu at position 1 of a menu that already
// holds the items "before" and "after" and the style MNS_NOTIFYBYPOS, with
// ids from firstId.
struct QueryResult {
  HRESULT result = E_FAIL;
  std::vector<MenuItem> items;
  DWORD style = 0;
};
QueryResult QueryMenu(IContextMenu* menu, IDataObject* selection, UINT flags = CMF_NORMAL);

inline constexpr UINT firstId = 100;
