#pragma once
// The entry Windows 11 shows in its own context menu for a packaged
// program: "Tamvera Sync", opening the classic menu's entries.
#include <windows.h>
#include <ocidl.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <memory>

#include "channel/installscope.h"
#include "com/comobject.h"
#include "explorercommand/commandselection.h"

class TopLevelCommand : public IExplorerCommand, public IObjectWithSite, public ComObject<TopLevelCommand> {
 public:
  COM_OBJECT_IUNKNOWN()
  static const QITAB interfaceTable[];

  // IExplorerCommand
  HRESULT STDMETHODCALLTYPE GetTitle(IShellItemArray* items, LPWSTR* name) override;
  HRESULT STDMETHODCALLTYPE GetIcon(IShellItemArray* items, LPWSTR* icon) override;
  HRESULT STDMETHODCALLTYPE GetToolTip(IShellItemArray* items, LPWSTR* infoTip) override;
  HRESULT STDMETHODCALLTYPE GetCanonicalName(GUID* name) override;
  HRESULT STDMETHODCALLTYPE GetState(IShellItemArray* items, BOOL okToBeSlow, EXPCMDSTATE* state) override;
  HRESULT STDMETHODCALLTYPE Invoke(IShellItemArray* items, IBindCtx* bindContext) override;
  HRESULT STDMETHODCALLTYPE GetFlags(EXPCMDFLAGS* flags) override;
  HRESULT STDMETHODCALLTYPE EnumSubCommands(IEnumExplorerCommand** commands) override;

  // IObjectWithSite
  HRESULT STDMETHODCALLTYPE SetSite(IUnknown* site) override;
  HRESULT STDMETHODCALLTYPE GetSite(REFIID riid, void** site) override;

 protected:
  // The installation whose class created the object.
  explicit TopLevelCommand(InstallScope installation);

 private:
  // The package names one class per installation for every item; only the
  // class of the installation this DLL belongs to shows, so that Explorer
  // never lists the entry twice.
  bool ServesThisInstallation() const;

  InstallScope installation;
  std::shared_ptr<CommandSelection> selection;
  Microsoft::WRL::ComPtr<IUnknown> site;
};

// The classes of the two installations' class ids.
class UserTopLevelCommand final : public TopLevelCommand {
 public:
  UserTopLevelCommand() : TopLevelCommand(InstallScope::User) {}
};
class ServiceTopLevelCommand final : public TopLevelCommand {
 public:
  ServiceTopLevelCommand() : TopLevelCommand(InstallScope::Service) {}
};
