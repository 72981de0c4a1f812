#pragma once
#include <windows.h>
#include <shobjidl.h>

#include <memory>

#include "com/comobject.h"
#include "contextmenu/menudecision.h"
#include "explorercommand/commandselection.h"

// One of the five entries under the top-level command: the classic menu's
// entry of the same kind, with its text, icon, state and message.
class SubCommand final : public IExplorerCommand, public ComObject<SubCommand> {
 public:
  SubCommand(MenuEntry entry, std::shared_ptr<CommandSelection> selection);
  COM_OBJECT_IUNKNOWN()
  static const QITAB interfaceTable[];

  HRESULT STDMETHODCALLTYPE GetTitle(IShellItemArray* items, LPWSTR* name) override;
  HRESULT STDMETHODCALLTYPE GetIcon(IShellItemArray* items, LPWSTR* icon) override;
  HRESULT STDMETHODCALLTYPE GetToolTip(IShellItemArray* items, LPWSTR* infoTip) override;
  HRESULT STDMETHODCALLTYPE GetCanonicalName(GUID* name) override;
  HRESULT STDMETHODCALLTYPE GetState(IShellItemArray* items, BOOL okToBeSlow, EXPCMDSTATE* state) override;
  HRESULT STDMETHODCALLTYPE Invoke(IShellItemArray* items, IBindCtx* bindContext) override;
  HRESULT STDMETHODCALLTYPE GetFlags(EXPCMDFLAGS* flags) override;
  HRESULT STDMETHODCALLTYPE EnumSubCommands(IEnumExplorerCommand** commands) override;

 private:
  MenuEntry entry;
  std::shared_ptr<CommandSelection> selection;
};

// "<DLL path>,-<resource id>": how the shell names an icon resource.
HRESULT DuplicateIconLocation(WORD iconGroup, LPWSTR* location);

// The state of an entry in plan: hidden where the classic menu leaves it
// out, disabled where it greys it.
EXPCMDSTATE EntryState(const MenuPlan& plan, MenuEntry entry);
