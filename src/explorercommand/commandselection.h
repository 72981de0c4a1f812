#pragma once
// What the packaged menu's commands know of the selection Explorer hands
// them. Explorer asks the top-level command and then each of its five
// sub-commands about the same item array; one read serves them all.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <memory>
#include <string>
#include <vector>

#include "contextmenu/menuplan.h"
#include "util/uniquehandle.h"

struct SelectionRead {
  std::vector<std::wstring> paths;
  // Not allowed when no item has a file-system path.
  MenuPlan plan;
};

class CommandSelection {
 public:
  // The plan for items. Quick (okToBeSlow false, Explorer's own thread):
  // only the first item is read, and null means the answer needs more
  // reads. Slow: read within the menu's budget, always a plan.
  std::shared_ptr<const SelectionRead> Read(IShellItemArray* items, bool okToBeSlow);

  // The paths of items; read again only for another array.
  std::vector<std::wstring> Paths(IShellItemArray* items);

 private:
  CriticalSection lock;
  // Held so that no other array can take its address while the read is kept.
  Microsoft::WRL::ComPtr<IShellItemArray> array;
  std::shared_ptr<const SelectionRead> kept;
};
