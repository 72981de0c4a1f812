#pragma once
#include <windows.h>
#include <shlobj.h>

#include "module/refcountedobject.h"

// The context-menu handler Explorer creates for each right-click.
class ShellContextMenu : public IContextMenu, private IShellExtInit, private RefCountedObject {
 public:
  ShellContextMenu();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IContextMenu
  HRESULT STDMETHODCALLTYPE QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst,
                                             UINT idCmdLast, UINT flags) override;
  HRESULT STDMETHODCALLTYPE InvokeCommand(CMINVOKECOMMANDINFO* info) override;
  HRESULT STDMETHODCALLTYPE GetCommandString(UINT_PTR idCmd, UINT type, UINT* reserved,
                                             CHAR* name, UINT cchMax) override;

  virtual ~ShellContextMenu();

 private:
  // IShellExtInit
  HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* dataObject,
                                       HKEY progId) override;

  ULONG referenceCount = 0;
};
