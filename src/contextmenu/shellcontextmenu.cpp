#include "contextmenu/shellcontextmenu.h"

#include "module/gdiplusstart.h"

ShellContextMenu::ShellContextMenu() { AcquireGdiplus(); }

ShellContextMenu::~ShellContextMenu() { ReleaseGdiplus(); }

HRESULT STDMETHODCALLTYPE ShellContextMenu::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  // IUnknown is the IShellExtInit part, not the IContextMenu one.
  if (riid == IID_IUnknown || riid == IID_IShellExtInit) {
    *ppv = static_cast<IShellExtInit*>(this);
  } else if (riid == IID_IContextMenu) {
    *ppv = static_cast<IContextMenu*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE ShellContextMenu::AddRef() { return ++referenceCount; }

ULONG STDMETHODCALLTYPE ShellContextMenu::Release() {
  const ULONG count = --referenceCount;
  if (count == 0) delete this;
  return count;
}

HRESULT STDMETHODCALLTYPE ShellContextMenu::Initialize(PCIDLIST_ABSOLUTE, IDataObject*, HKEY) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ShellContextMenu::QueryContextMenu(HMENU, UINT, UINT, UINT, UINT) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ShellContextMenu::InvokeCommand(CMINVOKECOMMANDINFO*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE ShellContextMenu::GetCommandString(UINT_PTR, UINT, UINT*, CHAR*, UINT) {
  return E_NOTIMPL;
}
