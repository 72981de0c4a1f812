#include "contextmenu/menuplan.h"

#include <lmcons.h>
#include <shlwapi.h>

#include "channel/installscope.h"
#include "channel/pipeclient.h"
#include "log/extensionlog.h"
#include "syncstate/placeholdernames.h"
#include "syncstate/placeholderstate.h"
#include "syncstate/syncfolder.h"
#include "util/settingsroot.h"
#include "util/uniquehandle.h"

namespace {

// The share entry is on unless the application stored a REG_DWORD 0.
bool ReadSharingEnabled() {
  UniqueRegistryKey key;
  if (RegOpenKeyExW(SettingsRoot(), L"Software\\Tamvera\\Sync", 0, KEY_READ, key.Put()) != ERROR_SUCCESS)
    return true;
  DWORD value = 0;
  DWORD type = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExW(key.Get(), L"ShellMenuFileSharingEnable", nullptr, &type, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS ||
      type != REG_DWORD)
    return true;
  return value != 0;
}

std::wstring CurrentUserName() {
  wchar_t buffer[UNLEN + 1] = {};
  DWORD size = UNLEN + 1;
  if (!GetUserNameW(buffer, &size)) return {};
  return buffer;
}

// Paths beyond MAX_PATH only reach the file system in their extended form.
DWORD FileAttributesOf(const std::wstring& path) {
  if (path.empty()) return INVALID_FILE_ATTRIBUTES;
  if (path.size() < MAX_PATH || path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\"))
    return GetFileAttributesW(path.c_str());
  std::wstring extended;
  if (path.starts_with(L"\\\\"))
    extended = L"\\\\?\\UNC\\" + path.substr(2);
  else
    extended = L"\\\\?\\" + path;
  return GetFileAttributesW(extended.c_str());
}

// Reads the items until the summary is settled or, after the first item,
// the budget is spent.
SelectionSummary ScanSelection(UINT count, const PathSource& paths, const ScanBudget& budget, UINT& unread) {
  SelectionSummary summary;
  UINT index = 0;
  paths([&](const std::wstring& path) {
    const bool isFirst = index++ == 0;
    if (!isFirst && GetTickCount64() >= budget.deadline) {
      // A slow share must not hold Explorer's thread: what is not read may
      // be anything, so every entry that might apply stays.
      unread = count - (index - 1);
      ApplyUnreadItems(summary);
      LogMessage(L"Context menu: %u of %u items left unread after %u ms", unread, count, budget.milliseconds);
      return false;
    }
    const DWORD attributes = FileAttributesOf(path);
    if (attributes == INVALID_FILE_ATTRIBUTES) return true;
    const bool isFolder = (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (isFolder) summary.anyFolder = true;
    if (isFirst) {
      // The first item's folder record stands for the whole selection.
      std::wstring root = FindSyncFolderRoot(path);
      if (root.empty()) return false;
      summary.inSyncFolder = true;
      if (IsSyncFolderRoot(path)) root = path;
      SyncFolderInfo info;
      ReadSyncFolderInfo(root, info);
      ApplyFolderRecord(summary, info.type, info.mode, info.disable_remove_from_all_devices, info.owner,
                        CurrentUserName());
      if (!summary.isSelectiveFolder || !summary.isOwner) return false;
    }
    const bool isPlaceholder = IsPlaceholderExtension(PathFindExtensionW(path.c_str()));
    PlaceholderState state;
    if (isPlaceholder) ReadPlaceholderState(path, state);
    ApplyItem(summary, isFolder, isPlaceholder, state.progress);
    return !summary.ItemsSaturated();
  });
  return summary;
}

}  // namespace

MenuPlan PlanMenu(UINT count, const PathSource& paths, const ScanBudget& budget) {
  MenuPlan plan;
  const InstallScope scope = installScope.load();
  if (SelectCommandPipe(scope).empty() && scope != InstallScope::User) {
    // Without a user installation nobody could start the application.
    LogMessage(L"Context menu: menu will not be shown. No pipe and scope isn't USER");
    return plan;
  }
  plan.allowed = true;
  SelectionSummary summary = ScanSelection(count, paths, budget, plan.unread);
  summary.sharingEnabled = ReadSharingEnabled();
  if (!summary.sharingEnabled) LogMessage(L"File sharing is disabled");
  plan.entries = DecideMenuEntries(summary);
  plan.summary = summary;
  return plan;
}

void LogSelectiveGate(const MenuPlan& plan) {
  const SelectionSummary& summary = plan.summary;
  if (!plan.allowed || summary.SelectiveGate()) return;
  LogMessage(L"Selective Sync: inSyncFolder(%d) isSelectiveFolder(%d) isOwner(%d)", summary.inSyncFolder ? 1 : 0,
             summary.isSelectiveFolder ? 1 : 0, summary.isOwner ? 1 : 0);
}
