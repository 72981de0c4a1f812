#pragma once
// Which menu entries a selection gets: a pure function of what the scan of
// the selection found, kept apart from the menu and file-system calls.
#include <cstdint>
#include <string_view>
#include <vector>

struct SelectionSummary {
  bool anyFolder = false;
  bool inSyncFolder = false;
  bool isSelectiveFolder = false;
  bool isOwner = true;
  bool disableRemoveFromAll = false;
  bool typeIsTwo = false;
  bool anyRegular = false;
  bool anyWaitingPlaceholder = false;
  bool anyReceiving = false;
  bool sharingEnabled = true;

  // The selective-sync entries are offered only inside a selective folder
  // that belongs to the current user.
  bool SelectiveGate() const { return inSyncFolder && isSelectiveFolder && isOwner; }
  // Later items cannot change the decision any more.
  bool ItemsSaturated() const { return anyFolder && anyRegular && anyWaitingPlaceholder && anyReceiving; }
};

enum class MenuEntry { Share, Download, CancelDownload, RemoveFromDevice, RemoveFromAllDevices };

struct PlannedEntry {
  MenuEntry entry;
  bool greyed;
  bool operator==(const PlannedEntry&) const = default;
};

// The entries in menu order.
std::vector<PlannedEntry> DecideMenuEntries(const SelectionSummary& summary);

// The folder record's part of the summary. An owner only counts when it
// equals the user's name exactly; an empty owner means anyone.
void ApplyFolderRecord(SelectionSummary& summary, uint32_t type, bool mode, bool disableRemoveFromAll,
                       std::wstring_view owner, std::wstring_view userName);

// One scanned item's part of the summary; progress is only looked at for
// placeholders (0 to 100 is a download under way, anything else waits).
void ApplyItem(SelectionSummary& summary, bool isFolder, bool isPlaceholder, int32_t progress);

// Items the scan had no time to read: each may be of every kind.
void ApplyUnreadItems(SelectionSummary& summary);
