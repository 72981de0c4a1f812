#include "menusession.h"

#include "console.h"

MenuSession::~MenuSession() {
  if (menu) DestroyMenu(menu);
}

bool MenuSession::Build(ExtensionHost& host, const std::vector<std::wstring>& paths, std::wstring& message) {
  if (!selection.Build(paths, message)) return false;
  Microsoft::WRL::ComPtr<IShellExtInit> init;
  // Per-user class first, then the machine-wide one, as either may be registered.
  if (FAILED(host.Create({0, 5}, IID_IShellExtInit, reinterpret_cast<void**>(init.GetAddressOf()), message)))
    return false;
  HRESULT result = init->Initialize(selection.Folder(), selection.DataObject(), nullptr);
  if (FAILED(result)) {
    message = L"Initialize fails (" + Hex(result) + L")";
    return false;
  }
  result = init.As(&contextMenu);
  if (FAILED(result)) {
    message = L"the object offers no IContextMenu (" + Hex(result) + L")";
    return false;
  }
  menu = CreatePopupMenu();
  if (!menu) {
    message = L"cannot create a menu";
    return false;
  }
  queryResult = contextMenu->QueryContextMenu(menu, 0, idCmdFirst, idCmdLast, CMF_NORMAL);
  const int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    wchar_t text[512] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_ID | MIIM_STATE | MIIM_STRING | MIIM_BITMAP | MIIM_FTYPE;
    info.dwTypeData = text;
    info.cch = static_cast<UINT>(std::size(text));
    if (!GetMenuItemInfoW(menu, static_cast<UINT>(position), TRUE, &info)) continue;
    MenuEntry entry;
    entry.position = static_cast<UINT>(position);
    entry.offset = info.wID - idCmdFirst;
    entry.text = text;
    entry.greyed = (info.fState & MFS_GRAYED) != 0;
    entry.image = info.hbmpItem != nullptr;
    entries.push_back(entry);
  }
  return true;
}
