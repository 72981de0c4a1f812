#include "explorercommand/toplevelcommand.h"

#include <shlwapi.h>

#include <array>
#include <new>

#include "com/errorbarrier.h"
#include "contextmenu/menubitmaps.h"
#include "contextmenu/menucommands.h"
#include "explorercommand/subcommand.h"
#include "explorercommand/subcommandenumerator.h"

namespace {

// {59F2A5A3-5C40-435F-B45D-D1E411C2A4E0}
constexpr GUID topLevelCommandName = {0x59f2a5a3, 0x5c40, 0x435f, {0xb4, 0x5d, 0xd1, 0xe4, 0x11, 0xc2, 0xa4, 0xe0}};

// The classic menu's order.
constexpr std::array<MenuEntry, 5> subCommandEntries{MenuEntry::Share, MenuEntry::Download, MenuEntry::CancelDownload,
                                                     MenuEntry::RemoveFromDevice, MenuEntry::RemoveFromAllDevices};

}  // namespace

TopLevelCommand::TopLevelCommand(InstallScope installation)
    : installation(installation), selection(std::make_shared<CommandSelection>()) {
  FillMenuTextsOnce();
  DecideInstallScopeIfUndecided();
}

const QITAB TopLevelCommand::interfaceTable[] = {
    {&IID_IExplorerCommand, OFFSETOFCLASS(IExplorerCommand, TopLevelCommand)},
    {&IID_IObjectWithSite, OFFSETOFCLASS(IObjectWithSite, TopLevelCommand)},
    {nullptr, 0},
};

bool TopLevelCommand::ServesThisInstallation() const {
  const InstallScope scope = installScope.load();
  if (installation == InstallScope::Service) return scope == InstallScope::Service;
  return scope != InstallScope::Service;
}

HRESULT STDMETHODCALLTYPE TopLevelCommand::GetTitle(IShellItemArray*, LPWSTR* name) try {
  if (!name) return E_POINTER;
  *name = nullptr;
  return SHStrDupW(L"Tamvera Sync", name);
} CATCH_RETURN()

HRESULT STDMETHODCALLTYPE TopLevelCommand::GetIcon(IShellItemArray*, LPWSTR* icon) try {
  return DuplicateIconLocation(MenuBitmaps::applicationIconGroup, icon);
} CATCH_RETURN()

HRESULT STDMETHODCALLTYPE TopLevelCommand::GetToolTip(IShellItemArray*, LPWSTR* infoTip) try {
  if (infoTip) *infoTip = nullptr;
  return E_NOTIMPL;
} CATCH_RETURN()

HRESULT STDMETHODCALLTYPE TopLevelCommand::GetCanonicalName(GUID* name) try {
  if (!name) return E_POINTER;
  *name = topLevelCommandName;
  return S_OK;
} CATCH_RETURN()

// Shown exactly when the classic menu would show at least one entry.
HRESULT STDMETHODCALLTYPE TopLevelCommand::GetState(IShellItemArray* items, BOOL okToBeSlow,
                                                    EXPCMDSTATE* state) try {
  if (!state) return E_POINTER;
  *state = ECS_HIDDEN;
  if (!ServesThisInstallation()) return S_OK;
  const std::shared_ptr<const MenuPlan> plan = selection->Read(items, okToBeSlow != FALSE);
  if (!plan) return E_PENDING;
  if (plan->allowed && !plan->entries.empty()) *state = ECS_ENABLED;
  return S_OK;
} CATCH_RETURN()

// Only the sub-commands do something.
HRESULT STDMETHODCALLTYPE TopLevelCommand::Invoke(IShellItemArray*, IBindCtx*) try {
  return E_NOTIMPL;
} CATCH_RETURN()

HRESULT STDMETHODCALLTYPE TopLevelCommand::GetFlags(EXPCMDFLAGS* flags) try {
  if (!flags) return E_POINTER;
  *flags = ECF_HASSUBCOMMANDS;
  return S_OK;
} CATCH_RETURN()

HRESULT STDMETHODCALLTYPE TopLevelCommand::EnumSubCommands(IEnumExplorerCommand** commands) try {
  if (!commands) return E_POINTER;
  *commands = nullptr;
  // The sub-commands share this object's read of the selection.
  auto list = std::make_shared<CommandList>();
  for (MenuEntry entry : subCommandEntries) {
    auto* command = new (std::nothrow) SubCommand(entry, selection);
    if (!command) return E_OUTOFMEMORY;
    list->emplace_back(command);
  }
  auto* enumerator = new (std::nothrow) SubCommandEnumerator(std::move(list));
  if (!enumerator) return E_OUTOFMEMORY;
  enumerator->AddRef();
  const HRESULT result = enumerator->QueryInterface(IID_IEnumExplorerCommand, reinterpret_cast<void**>(commands));
  enumerator->Release();
  return result;
} CATCH_RETURN()

HRESULT STDMETHODCALLTYPE TopLevelCommand::SetSite(IUnknown* newSite) try {
  site = newSite;
  return S_OK;
} CATCH_RETURN()

HRESULT STDMETHODCALLTYPE TopLevelCommand::GetSite(REFIID riid, void** out) try {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!site) return E_FAIL;
  return site->QueryInterface(riid, out);
} CATCH_RETURN()
