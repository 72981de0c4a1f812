#pragma once
// What the packaged menu's commands know of the selection Explorer hands
// them. Explorer asks the top-level command and then each of its five
// sub-commands about the same item array; one read serves them all.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <memory>

#include "contextmenu/menuplan.h"
#include "util/uniquehandle.h"

class CommandSelection {
 public:
  // The plan for items, not allowed when no item has a file-system path. Quick (okToBeSlow false, Explorer's own thread):
  // the shell is asked for the first item's path and at most one more, and
  // null means the answer needs more reads. Slow: read within the menu's
  // budget, always a plan.
  std::shared_ptr<const MenuPlan> Read(IShellItemArray* items, bool okToBeSlow);

 private:
  CriticalSection lock;
  // Held so that no other array can take its address while the read is kept.
  Microsoft::WRL::ComPtr<IShellItemArray> array;
  std::shared_ptr<const MenuPlan> kept;
};
