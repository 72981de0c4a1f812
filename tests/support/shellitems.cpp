#include "support/shellitems.h"

#include <shlobj.h>

#include <memory>

namespace {

struct IdListFree {
  void operator()(ITEMIDLIST_ABSOLUTE* list) const { CoTaskMemFree(list); }
};
using IdList = std::unique_ptr<ITEMIDLIST_ABSOLUTE, IdListFree>;

IdList ParsePath(const std::wstring& path) {
  PIDLIST_ABSOLUTE list = nullptr;
  if (SUCCEEDED(SHParseDisplayName(path.c_str(), nullptr, &list, 0, nullptr)) && list) return IdList(list);
  return IdList(SHSimpleIDListFromPath(path.c_str()));
}

}  // namespace

Microsoft::WRL::ComPtr<IShellItemArray> ShellItemArrayOf(const std::vector<std::wstring>& paths) {
  std::vector<IdList> owned;
  std::vector<PCIDLIST_ABSOLUTE> lists;
  for (const std::wstring& path : paths) {
    owned.push_back(ParsePath(path));
    if (!owned.back()) return nullptr;
    lists.push_back(owned.back().get());
  }
  Microsoft::WRL::ComPtr<IShellItemArray> items;
  if (FAILED(SHCreateShellItemArrayFromIDLists(static_cast<UINT>(lists.size()), lists.data(), &items))) return nullptr;
  return items;
}
