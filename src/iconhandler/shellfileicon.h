#pragma once
#include <windows.h>
#include <shlobj.h>

#include <string>

#include "iconhandler/gdiresource.h"
#include "iconhandler/placeholdernames.h"
#include "module/refcountedobject.h"

// The icon handler of placeholder files: the shell's icon of the real file
// type, washed out, with the download status drawn over it.
class ShellFileIcon : public IPersistFile, public IExtractIconW, private RefCountedObject {
 public:
  ShellFileIcon();

  // IUnknown
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override;
  ULONG STDMETHODCALLTYPE AddRef() override;
  ULONG STDMETHODCALLTYPE Release() override;

  // IPersistFile
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID* classId) override;
  HRESULT STDMETHODCALLTYPE IsDirty() override;
  HRESULT STDMETHODCALLTYPE Load(LPCOLESTR fileName, DWORD mode) override;
  HRESULT STDMETHODCALLTYPE Save(LPCOLESTR fileName, BOOL remember) override;
  HRESULT STDMETHODCALLTYPE SaveCompleted(LPCOLESTR fileName) override;
  HRESULT STDMETHODCALLTYPE GetCurFile(LPOLESTR* fileName) override;

  // IExtractIconW
  HRESULT STDMETHODCALLTYPE GetIconLocation(UINT flags, LPWSTR iconFile, UINT cchMax, int* index,
                                            UINT* outFlags) override;
  HRESULT STDMETHODCALLTYPE Extract(LPCWSTR file, UINT index, HICON* large, HICON* small,
                                    UINT iconSizes) override;

  virtual ~ShellFileIcon();

 private:
  UniqueIcon BuildPlaceholderIcon(IconSizeClass sizeClass) const;

  ULONG referenceCount = 0;
  wchar_t path[MAX_PATH] = {};
};
