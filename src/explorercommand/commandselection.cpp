#include "explorercommand/commandselection.h"

#include "explorercommand/shellitempaths.h"
#include "log/extensionlog.h"

std::shared_ptr<const SelectionRead> CommandSelection::Read(IShellItemArray* items, bool okToBeSlow) {
  {
    SectionLock hold(lock);
    if (kept && items == array.Get()) return kept;
  }
  // Read outside the lock: a slow pass on another thread must not hold up
  // Explorer's quick one.
  auto read = std::make_shared<SelectionRead>();
  read->paths = FileSystemPaths(items);
  if (read->paths.empty()) {
    LogMessage(L"Top-level command: no file system items");
  } else {
    const UINT count = static_cast<UINT>(read->paths.size());
    const PathSource source = [&paths = read->paths](const PathVisitor& visit) {
      for (const std::wstring& path : paths)
        if (!visit(path)) return;
    };
    read->plan = PlanMenu(count, source, ScanBudget::StartingNow(okToBeSlow ? menuScanBudgetMs : 0));
    // The quick pass reads one item; what it left unread waits for the slow one.
    if (!okToBeSlow && read->plan.unread > 0) return nullptr;
    LogSelectiveGate(read->plan);
  }
  SectionLock hold(lock);
  array = items;
  kept = read;
  return read;
}

std::vector<std::wstring> CommandSelection::Paths(IShellItemArray* items) {
  {
    SectionLock hold(lock);
    if (kept && items == array.Get()) return kept->paths;
  }
  return FileSystemPaths(items);
}
