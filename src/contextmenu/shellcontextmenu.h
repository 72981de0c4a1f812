#pragma once
#include <windows.h>
#include <shlobj.h>
#include <wrl/client.h>

#include "contextmenu/menubitmaps.h"
#include "contextmenu/menudecision.h"
#include "contextmenu/selectionmedium.h"
#include "module/gdiplusstart.h"
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

  // GDI+ runs from before the bitmaps are built until after they are gone.
  struct GdiplusLease {
    GdiplusLease() { AcquireGdiplus(); }
    ~GdiplusLease() { ReleaseGdiplus(); }
    GdiplusLease(const GdiplusLease&) = delete;
    GdiplusLease& operator=(const GdiplusLease&) = delete;
  };

  bool FetchSelection(UINT flags);
  SelectionSummary ScanSelection() const;
  void InsertCommand(HMENU menu, UINT position, UINT idCmdFirst, MenuEntry entry, bool greyed) const;
  void SetMenuItemBitmap(HMENU menu, UINT position, UINT slot) const;

  ULONG referenceCount = 0;
  GdiplusLease gdiplus;
  UINT fileCount = 0;
  MenuBitmaps bitmaps;
  SelectionMedium selection;
  Microsoft::WRL::ComPtr<IDataObject> dataObject;
};
