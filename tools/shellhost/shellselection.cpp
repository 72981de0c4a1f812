#include "shellselection.h"

#include <shlwapi.h>

#include <memory>

namespace {

struct PidlFree {
  void operator()(ITEMIDLIST_ABSOLUTE* pidl) const { CoTaskMemFree(pidl); }
};
using UniquePidl = std::unique_ptr<ITEMIDLIST_ABSOLUTE, PidlFree>;

std::wstring ParentOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
}

}  // namespace

ShellSelection::~ShellSelection() {
  if (folder) CoTaskMemFree(folder);
}

bool ShellSelection::Build(const std::vector<std::wstring>& paths, std::wstring& message) {
  if (paths.empty()) {
    message = L"no items given";
    return false;
  }
  std::vector<std::wstring> fullPaths;
  for (const std::wstring& path : paths) {
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) {
      message = L"no such file or folder: " + path;
      return false;
    }
    const DWORD needed = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    std::wstring full(needed, L'\0');
    const DWORD length = needed ? GetFullPathNameW(path.c_str(), needed, full.data(), nullptr) : 0;
    fullPaths.push_back(length > 0 && length < needed ? full.substr(0, length) : path);
  }
  // Explorer's selections come from one folder view.
  const std::wstring parent = ParentOf(fullPaths.front());
  for (const std::wstring& path : fullPaths) {
    if (_wcsicmp(ParentOf(path).c_str(), parent.c_str()) != 0) {
      message = L"all items of one selection must be in the same folder";
      return false;
    }
  }

  std::vector<UniquePidl> lists;
  for (const std::wstring& path : fullPaths) {
    PIDLIST_ABSOLUTE pidl = nullptr;
    const HRESULT parsed = SHParseDisplayName(path.c_str(), nullptr, &pidl, 0, nullptr);
    if (FAILED(parsed)) {
      message = L"the shell cannot parse " + path;
      return false;
    }
    lists.emplace_back(pidl);
  }

  Microsoft::WRL::ComPtr<IShellFolder> parentFolder;
  PCUITEMID_CHILD firstChild = nullptr;
  if (FAILED(SHBindToParent(lists.front().get(), IID_IShellFolder,
                            reinterpret_cast<void**>(parentFolder.GetAddressOf()), &firstChild))) {
    message = L"the shell cannot open the folder of " + fullPaths.front();
    return false;
  }
  std::vector<PCUITEMID_CHILD> children;
  for (const UniquePidl& list : lists) children.push_back(ILFindLastID(list.get()));
  if (FAILED(parentFolder->GetUIObjectOf(nullptr, static_cast<UINT>(children.size()), children.data(),
                                         IID_IDataObject, nullptr,
                                         reinterpret_cast<void**>(dataObject.ReleaseAndGetAddressOf())))) {
    message = L"the shell gives no data object for the selection";
    return false;
  }
  std::vector<PCIDLIST_ABSOLUTE> absolute;
  for (const UniquePidl& list : lists) absolute.push_back(list.get());
  if (FAILED(SHCreateShellItemArrayFromIDLists(static_cast<UINT>(absolute.size()), absolute.data(),
                                               items.ReleaseAndGetAddressOf()))) {
    message = L"the shell gives no item array for the selection";
    return false;
  }
  folder = ILCloneFull(lists.front().get());
  if (folder) ILRemoveLastID(folder);
  return true;
}
