#include "contextmenu/shellcontextmenu.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <utility>

#include "channel/commandbatch.h"
#include "channel/installscope.h"
#include "contextmenu/menucommands.h"
#include "contextmenu/sharedmenubitmaps.h"
#include "contextmenu/utf8prefix.h"
#include "log/extensionlog.h"
#include "com/errorbarrier.h"
#include "com/modulereference.h"

ShellContextMenu::ShellContextMenu() {
  FillMenuTextsOnce();
  DecideInstallScopeIfUndecided();
}

ShellContextMenu::~ShellContextMenu() = default;

const QITAB ShellContextMenu::interfaceTable[] = {
    {&IID_IShellExtInit, OFFSETOFCLASS(IShellExtInit, ShellContextMenu)},
    {&IID_IContextMenu, OFFSETOFCLASS(IContextMenu, ShellContextMenu)},
    {nullptr, 0},
};

HRESULT STDMETHODCALLTYPE ShellContextMenu::Initialize(PCIDLIST_ABSOLUTE, IDataObject* newDataObject,
                                                       HKEY) try {
  // The selection is read only when the menu is asked for.
  dataObject = newDataObject;
  return S_OK;
} CATCH_RETURN()

bool ShellContextMenu::FetchSelection(UINT flags) {
  if (flags & CMF_VERBSONLY) {
    // The target of a shortcut: the shortcut itself gets the entries.
    LogMessage(L"Skip shortcut target");
    return false;
  }
  if (!dataObject) return false;
  fileCount = 0;
  const HRESULT result = selection.Fetch(dataObject.Get());
  if (FAILED(result) || !selection.Drop()) {
    LogMessage(L"Context menu: GetData failed (%lx); mh : %d", static_cast<unsigned long>(result),
               selection.Drop() ? 1 : 0);
    return false;
  }
  fileCount = DragQueryFileW(selection.Drop(), 0xFFFFFFFF, nullptr, 0);
  return true;
}

PathSource ShellContextMenu::SelectedPaths() const {
  return [this](const PathVisitor& visit) { selection.VisitPaths(fileCount, visit); };
}

void ShellContextMenu::SetMenuItemBitmap(HMENU menu, UINT position, UINT slot) const {
  if (slot >= MenuBitmaps::slotCount || !bitmaps) return;
  MENUITEMINFOW item{};
  item.cbSize = sizeof item;
  item.fMask = MIIM_BITMAP;
  item.hbmpItem = bitmaps->Slot(slot);
  SetMenuItemInfoW(menu, position, TRUE, &item);
  // Add our style to the host's menu styles instead of replacing them.
  MENUINFO info{};
  info.cbSize = sizeof info;
  info.fMask = MIM_STYLE;
  if (!GetMenuInfo(menu, &info)) info.dwStyle = 0;
  info.fMask = MIM_STYLE;
  info.dwStyle |= MNS_CHECKORBMP;
  SetMenuInfo(menu, &info);
}

void ShellContextMenu::InsertCommand(HMENU menu, UINT position, UINT idCmdFirst, MenuEntry entry,
                                     bool greyed) const {
  const MenuCommand& command = MenuCommandFor(entry);
  LogMessage(command.addedLogLine);
  const UINT flags = MF_BYPOSITION | MF_STRING | (greyed ? MF_GRAYED : 0);
  InsertMenuW(menu, position, flags, idCmdFirst + command.id, command.wideText.c_str());
  SetMenuItemBitmap(menu, position, command.bitmapSlot);
}

HRESULT STDMETHODCALLTYPE ShellContextMenu::QueryContextMenu(HMENU menu, UINT indexMenu, UINT idCmdFirst,
                                                             UINT idCmdLast, UINT flags) try {
  // A double-click or Enter only looks for the default verb, and none of
  // ours is one: nothing to read, build or log.
  if (flags & CMF_DEFAULTONLY) return MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0);
  const ScanBudget budget = ScanBudget::StartingNow(menuScanBudgetMs);
  LogMessage(L"Called context menu");
  if (!FetchSelection(flags)) return E_NOTIMPL;

  const MenuPlan plan = PlanMenu(fileCount, SelectedPaths(), budget);
  if (!plan.allowed) return E_NOTIMPL;
  if (!plan.entries.empty() && !bitmaps) bitmaps = SharedMenuBitmaps();
  UINT position = indexMenu;
  for (const PlannedEntry& planned : plan.entries) {
    // An id beyond the host's range would belong to another handler.
    if (uint64_t{idCmdFirst} + MenuCommandFor(planned.entry).id > idCmdLast) continue;
    InsertCommand(menu, position++, idCmdFirst, planned.entry, planned.greyed);
  }
  LogSelectiveGate(plan);
  LogMessage(L"End of menu handler");
  return MAKE_HRESULT(SEVERITY_SUCCESS, 0, menuCommandOffsetCount);
} CATCH_RETURN()

HRESULT STDMETHODCALLTYPE ShellContextMenu::InvokeCommand(CMINVOKECOMMANDINFO* info) try {
  // A verb given as a string names no entry of ours; offsets fit 16 bits.
  if (!info || !IS_INTRESOURCE(info->lpVerb)) return E_INVALIDARG;
  const MenuCommand* command = FindMenuCommand(reinterpret_cast<UINT_PTR>(info->lpVerb));
  if (!command) return E_INVALIDARG;
  // One pass over the drop list: asking for item i walks all items before it.
  std::vector<std::wstring> paths;
  if (selection.Drop()) {
    paths.reserve(fileCount);
    SelectedPaths()([&](const std::wstring& path) {
      paths.push_back(path);
      return true;
    });
  }
  return BuildCommandBatch(command->action, std::move(paths));
} CATCH_RETURN()

HRESULT STDMETHODCALLTYPE ShellContextMenu::GetCommandString(UINT_PTR idCmd, UINT type, UINT*, CHAR* name,
                                                             UINT cchMax) try {
  const MenuCommand* command = FindMenuCommand(idCmd);
  if (!command || !name || cchMax == 0) return E_INVALIDARG;
  // The copy routines count in int; no help text comes near that.
  const int capacity = static_cast<int>(std::min<UINT>(cchMax, INT_MAX));
  if (type == GCS_HELPTEXTA) {
    // UTF-8, cut only between characters.
    const size_t length = Utf8PrefixFitting(command->narrowText, static_cast<size_t>(capacity));
    lstrcpynA(name, command->narrowText.c_str(), static_cast<int>(length + 1));
    return S_OK;
  }
  if (type == GCS_HELPTEXTW) {
    lstrcpynW(reinterpret_cast<LPWSTR>(name), command->wideText.c_str(), capacity);
    return S_OK;
  }
  // The entries have no language-independent verbs.
  return E_INVALIDARG;
} CATCH_RETURN()
