#pragma once
#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <memory>

#include "contextmenu/menubitmaps.h"
#include "contextmenu/menuplan.h"
#include "contextmenu/selectionmedium.h"
#include "com/comobject.h"

// The context-menu handler Explorer creates for each right-click.
class ShellContextMenu : public IContextMenu, private IShellExtInit, public ComObject<ShellContextMenu> {
 public:
  ShellContextMenu();
  COM_OBJECT_IUNKNOWN()
  // IUnknown is the IShellExtInit part, not the IContextMenu one.
  static const QITAB interfaceTable[];

  // IContextMenu
  HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst,
                                             UINT idCmdLast, UINT flags) override;
  HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* info) override;
  HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR idCmd, UINT type, UINT* reserved,
                                             CHAR* name, UINT cchMax) override;

  ~ShellContextMenu() override;

 private:
  // IShellExtInit
  HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* dataObject,
                                       HKEY progId) override;

  bool FetchSelection(UINT flags);
  // The fetched drop list's paths, for the shared menu plan.
  PathSource SelectedPaths() const;
  void InsertCommand(HMENU menu, UINT position, UINT idCmdFirst, MenuEntry entry, bool greyed) const;
  void SetMenuItemBitmap(HMENU menu, UINT position, UINT slot) const;

  UINT fileCount = 0;
  // Shared with the other menu objects; taken when an entry is first shown.
  std::shared_ptr<const MenuBitmaps> bitmaps;
  SelectionMedium selection;
  Microsoft::WRL::ComPtr<IDataObject> dataObject;
};
