#include "contextmenu/menudecision.h"

std::vector<PlannedEntry> DecideMenuEntries(const SelectionSummary& summary) {
  std::vector<PlannedEntry> entries;
  if (summary.sharingEnabled) entries.push_back({MenuEntry::Share, false});
  if (!summary.SelectiveGate()) return entries;
  if (summary.anyFolder || summary.anyWaitingPlaceholder) entries.push_back({MenuEntry::Download, false});
  if (summary.anyReceiving) entries.push_back({MenuEntry::CancelDownload, false});
  if (summary.anyFolder || summary.anyRegular) entries.push_back({MenuEntry::RemoveFromDevice, false});
  if (!summary.disableRemoveFromAll) {
    // Removing everywhere while a download runs would race the application.
    const bool enabled = summary.typeIsTwo && !summary.anyReceiving;
    entries.push_back({MenuEntry::RemoveFromAllDevices, !enabled});
  }
  return entries;
}

void ApplyFolderRecord(SelectionSummary& summary, uint32_t type, bool mode, bool disableRemoveFromAll,
                       std::wstring_view owner, std::wstring_view userName) {
  summary.isSelectiveFolder = mode;
  summary.disableRemoveFromAll = disableRemoveFromAll;
  summary.typeIsTwo = type == 2;
  if (!owner.empty() && owner != userName) summary.isOwner = false;
}

void ApplyItem(SelectionSummary& summary, bool isFolder, bool isPlaceholder, int32_t progress) {
  if (isFolder) summary.anyFolder = true;
  if (!isPlaceholder) {
    summary.anyRegular = true;
  } else if (static_cast<uint32_t>(progress) <= 100) {
    summary.anyReceiving = true;
  } else {
    summary.anyWaitingPlaceholder = true;
  }
}

void ApplyUnreadItems(SelectionSummary& summary) {
  summary.anyFolder = summary.anyRegular = summary.anyWaitingPlaceholder = summary.anyReceiving = true;
}
