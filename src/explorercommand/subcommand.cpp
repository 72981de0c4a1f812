#include "explorercommand/subcommand.h"

#include <shlwapi.h>

#include <string>
#include <utility>
#include <vector>

#include "channel/commandbatch.h"
#include "com/errorbarrier.h"
#include "com/modulereference.h"
#include "contextmenu/menubitmaps.h"
#include "contextmenu/menucommands.h"
#include "explorercommand/shellitempaths.h"

namespace {

// {34EDE235-1857-47BA-A2BC-8D80ABF977xx}, xx the entry's menu id.
GUID SubCommandName(MenuEntry entry) {
  GUID name = {0x34ede235, 0x1857, 0x47ba, {0xa2, 0xbc, 0x8d, 0x80, 0xab, 0xf9, 0x77, 0x00}};
  name.Data4[7] = static_cast<BYTE>(MenuCommandFor(entry).id);
  return name;
}

}  // namespace

HRESULT DuplicateIconLocation(WORD iconGroup, LPWSTR* location) {
  if (!location) return E_POINTER;
  *location = nullptr;
  if (modulePath.empty()) return E_FAIL;
  return SHStrDupW((modulePath + L",-" + std::to_wstring(iconGroup)).c_str(), location);
}

EXPCMDSTATE EntryState(const MenuPlan& plan, MenuEntry entry) {
  if (!plan.allowed) return ECS_HIDDEN;
  for (const PlannedEntry& planned : plan.entries)
    if (planned.entry == entry) return planned.greyed ? ECS_DISABLED : ECS_ENABLED;
  return ECS_HIDDEN;
}

SubCommand::SubCommand(MenuEntry entry, std::shared_ptr<CommandSelection> selection)
    : entry(entry), selection(std::move(selection)) {}

const QITAB SubCommand::interfaceTable[] = {
    {&IID_IExplorerCommand, OFFSETOFCLASS(IExplorerCommand, SubCommand)},
    {nullptr, 0},
};

HRESULT STDMETHODCALLTYPE SubCommand::GetTitle(IShellItemArray*, LPWSTR* name) try {
  if (!name) return E_POINTER;
  *name = nullptr;
  return SHStrDupW(MenuCommandFor(entry).wideText.c_str(), name);
} CATCH_RETURN()

HRESULT STDMETHODCALLTYPE SubCommand::GetIcon(IShellItemArray*, LPWSTR* icon) try {
  return DuplicateIconLocation(MenuBitmaps::IconGroup(MenuCommandFor(entry).bitmapSlot), icon);
} CATCH_RETURN()

// The classic menu's help text of an entry is its menu text.
HRESULT STDMETHODCALLTYPE SubCommand::GetToolTip(IShellItemArray* items, LPWSTR* infoTip) try {
  return GetTitle(items, infoTip);
} CATCH_RETURN()

HRESULT STDMETHODCALLTYPE SubCommand::GetCanonicalName(GUID* name) try {
  if (!name) return E_POINTER;
  *name = SubCommandName(entry);
  return S_OK;
} CATCH_RETURN()

HRESULT STDMETHODCALLTYPE SubCommand::GetState(IShellItemArray* items, BOOL okToBeSlow, EXPCMDSTATE* state) try {
  if (!state) return E_POINTER;
  *state = ECS_HIDDEN;
  const std::shared_ptr<const MenuPlan> plan = selection->Read(items, okToBeSlow != FALSE);
  if (!plan) return E_PENDING;
  *state = EntryState(*plan, entry);
  return S_OK;
} CATCH_RETURN()

// As the classic entry: the messages go on a delivery thread, whatever the
// entry's state, and nothing is reported back.
HRESULT STDMETHODCALLTYPE SubCommand::Invoke(IShellItemArray* items, IBindCtx*) try {
  std::vector<std::wstring> paths = FileSystemPaths(items);
  if (paths.empty()) return S_OK;
  return BuildCommandBatch(MenuCommandFor(entry).action, std::move(paths));
} CATCH_RETURN()

HRESULT STDMETHODCALLTYPE SubCommand::GetFlags(EXPCMDFLAGS* flags) try {
  if (!flags) return E_POINTER;
  *flags = ECF_DEFAULT;
  return S_OK;
} CATCH_RETURN()

HRESULT STDMETHODCALLTYPE SubCommand::EnumSubCommands(IEnumExplorerCommand** commands) try {
  if (commands) *commands = nullptr;
  return E_NOTIMPL;
} CATCH_RETURN()
