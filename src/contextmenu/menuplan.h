#pragma once
// One decision for every menu of the DLL: the classic context menu and the
// packaged top-level command read the selection and decide its entries here.
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "contextmenu/menudecision.h"

// Hands each selected path, in order, to the visitor until it returns false.
using PathVisitor = std::function<bool(const std::wstring& path)>;
using PathSource = std::function<void(const PathVisitor& visit)>;

// How long the items may be read: after the first item, reading stops at
// the deadline (a GetTickCount64 value).
struct ScanBudget {
  ULONGLONG deadline;
  UINT milliseconds;
  static ScanBudget StartingNow(UINT milliseconds) { return {GetTickCount64() + milliseconds, milliseconds}; }
};

// How long a menu may read the selection on Explorer's thread.
inline constexpr UINT menuScanBudgetMs = 250;

struct MenuPlan {
  // False: no menu at all, because nobody could start the application.
  bool allowed = false;
  // Items the budget left unread; each counted as every kind.
  UINT unread = 0;
  SelectionSummary summary;
  std::vector<PlannedEntry> entries;
};

// Reads up to count items of the selection and the settings, logs what the
// menu log has always said, and decides the entries in menu order.
MenuPlan PlanMenu(UINT count, const PathSource& paths, const ScanBudget& budget);

// Says in the log why the selective-sync entries are missing, when they are.
void LogSelectiveGate(const MenuPlan& plan);
