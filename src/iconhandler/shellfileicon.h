#pragma once
#include <windows.h>
#include <shlobj.h>

#include <cstdint>
#include <string>

#include "com/comobject.h"
#include "imaging/gdiresource.h"

// The icon handler of placeholder files: the shell's icon of the real file
// type, washed out, with the download status drawn over it.
class ShellFileIcon : public IExtractIconW, public IPersistFile, public ComObject<ShellFileIcon> {
 public:
  ShellFileIcon();
  COM_OBJECT_IUNKNOWN()
  // IUnknown is the IExtractIconW part.
  static const QITAB interfaceTable[];

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
  HRESULT STDMETHODCALLTYPE Extract(LPCWSTR file, UINT index, HICON* large, HICON* small, UINT iconSizes) override;

  ~ShellFileIcon() override;

 private:
  // What the icon shows, read once for both sides: a negative progress is
  // no mark in a folder with mode set and 0 % elsewhere.
  struct PlaceholderLook {
    std::wstring name;  // the placeholder's real name, which gives the type
    bool isFolder = false;
    bool marked = true;
    int32_t progress = 0;
  };
  PlaceholderLook ReadPlaceholderLook() const;
  // The placeholder's icon at side x side pixels; null when it cannot be built.
  UniqueIcon BuildPlaceholderIcon(const PlaceholderLook& look, UINT side) const;

  wchar_t path[MAX_PATH] = {};
};
