#pragma once
#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <string>
#include <vector>

#include "extensionhost.h"
#include "shellselection.h"

// One entry of the built menu, as the user sees it.
struct MenuEntry {
  UINT position = 0;
  UINT offset = 0;  // command offset from idCmdFirst
  std::wstring text;
  bool greyed = false;
  bool image = false;
};

// The context-menu object of a selection with its menu built the way
// Explorer builds it: Initialize, then QueryContextMenu into a real HMENU.
class MenuSession {
 public:
  static constexpr UINT idCmdFirst = 1;
  static constexpr UINT idCmdLast = 0x7FFF;

  ~MenuSession();
  // On failure the message says why; the result of QueryContextMenu is kept
  // either way once the object exists.
  bool Build(ExtensionHost& host, const std::vector<std::wstring>& paths, std::wstring& message);

  HRESULT QueryResult() const { return queryResult; }
  const std::vector<MenuEntry>& Entries() const { return entries; }
  IContextMenu* Menu() const { return contextMenu.Get(); }
  HMENU Handle() const { return menu; }

 private:
  ShellSelection selection;
  Microsoft::WRL::ComPtr<IContextMenu> contextMenu;
  HMENU menu = nullptr;
  HRESULT queryResult = E_FAIL;
  std::vector<MenuEntry> entries;
};
