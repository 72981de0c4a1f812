#include "explorercommand/commandselection.h"

#include <string>

#include "explorercommand/shellitempaths.h"
#include "log/extensionlog.h"

std::shared_ptr<const MenuPlan> CommandSelection::Read(IShellItemArray* items, bool okToBeSlow) {
  {
    SectionLock hold(lock);
    if (kept && items == array.Get()) return kept;
  }
  // Read outside the lock: a slow pass on another thread must not hold up
  // Explorer's quick one.
  auto plan = std::make_shared<MenuPlan>();
  const UINT total = ItemCount(items);
  UINT first = 0;
  std::wstring firstPath;
  // The quick pass looks at the first item only: finding a later one may
  // mean asking the shell about every item before it.
  const bool found = okToBeSlow ? NextFileSystemItem(items, first, firstPath)
                                : FileSystemPathAt(items, 0, firstPath);
  if (!found && !okToBeSlow && total > 1) return nullptr;
  if (!found) {
    LogMessage(L"Top-level command: no file system items");
  } else {
    // Paths are asked of the shell only as the scan reaches them, so the
    // budget bounds the shell's work too.
    const PathSource source = [&](const PathVisitor& visit) {
      if (visit(firstPath)) VisitFileSystemPaths(items, first + 1, visit);
    };
    *plan = PlanMenu(total - first, source, ScanBudget::StartingNow(okToBeSlow ? menuScanBudgetMs : 0));
    // What the quick pass left unread waits for the slow one.
    if (!okToBeSlow && plan->unread > 0) return nullptr;
    LogSelectiveGate(*plan);
  }
  SectionLock hold(lock);
  array = items;
  kept = plan;
  return plan;
}
