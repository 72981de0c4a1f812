#include "iconhandler/shellfileicon.h"

#include "module/gdiplusstart.h"

ShellFileIcon::ShellFileIcon() { AcquireGdiplus(); }

ShellFileIcon::~ShellFileIcon() { ReleaseGdiplus(); }

HRESULT STDMETHODCALLTYPE ShellFileIcon::QueryInterface(REFIID riid, void** ppv) {
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (riid == IID_IUnknown || riid == IID_IExtractIconW) {
    *ppv = static_cast<IExtractIconW*>(this);
  } else if (riid == IID_IPersistFile) {
    *ppv = static_cast<IPersistFile*>(this);
  } else {
    return E_NOINTERFACE;
  }
  AddRef();
  return S_OK;
}

ULONG STDMETHODCALLTYPE ShellFileIcon::AddRef() { return ++referenceCount; }

ULONG STDMETHODCALLTYPE ShellFileIcon::Release() {
  const ULONG count = --referenceCount;
  if (count == 0) delete this;
  return count;
}

HRESULT STDMETHODCALLTYPE ShellFileIcon::GetClassID(CLSID*) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ShellFileIcon::IsDirty() { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ShellFileIcon::Load(LPCOLESTR, DWORD) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ShellFileIcon::Save(LPCOLESTR, BOOL) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ShellFileIcon::SaveCompleted(LPCOLESTR) { return E_NOTIMPL; }
HRESULT STDMETHODCALLTYPE ShellFileIcon::GetCurFile(LPOLESTR*) { return E_NOTIMPL; }

HRESULT STDMETHODCALLTYPE ShellFileIcon::GetIconLocation(UINT, LPWSTR, UINT, int*, UINT*) {
  return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE ShellFileIcon::Extract(LPCWSTR, UINT, HICON*, HICON*, UINT) {
  return E_NOTIMPL;
}
