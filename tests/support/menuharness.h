#pragma once
// What the menu tests hand the handler and read back.
#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "support/testfiles.h"

using Microsoft::WRL::ComPtr;

// Data objects offering CF_HDROP over a drop list (or raw bytes), or no format at all.
ComPtr<IDataObject> DropDataObject(const std::vector<std::wstring>& paths);
ComPtr<IDataObject> RawDropDataObject(std::string bytes);
ComPtr<IDataObject> EmptyDataObject();
std::string DropListBytes(const std::vector<std::wstring>& paths);

// A synchronised folder's ".sync\ID" with its record; a placeholder with its state.
void MakeSyncRoot(const std::wstring& root, const std::string& record);
std::string FolderRecord(int type, int mode, const std::wstring& owner, bool disableRemoveFromAll = false);
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
void EnsureLogFolder();

// The uninstall key under the root, removed when the object goes.
struct InstallLocationKey : ScopedRegistryKey {
  InstallLocationKey(HKEY root, const std::wstring& location, DWORD type = REG_SZ);
};

// Copies the built DLL into the folder (created when missing); its path.
std::wstring PlaceDllCopy(const std::wstring& folder);

// A copy of the built DLL (or a hard link to linkFrom) in a folder of its own, loaded from there.
class DllCopy {
 public:
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

// Initialize, then QueryContextMenu at position 1 of a menu holding "before",
// "after" and the style MNS_NOTIFYBYPOS, with ids from firstId.
struct QueryResult {
  HRESULT result = E_FAIL;
  std::vector<MenuItem> items;
  DWORD style = 0;
};
QueryResult QueryMenu(IContextMenu* menu, IDataObject* selection, UINT flags = CMF_NORMAL);

inline constexpr UINT firstId = 100;
