#pragma once
// The menu-entry bitmaps of the process: built on the first menu that shows
// an entry, once per check-mark size, and shared by every menu object. A
// menu holds on to what it got, so releasing them never pulls a bitmap from
// under an object that is still alive.
#include <memory>

#include "contextmenu/menubitmaps.h"

// The bitmaps at the current check-mark size; never null.
std::shared_ptr<const MenuBitmaps> SharedMenuBitmaps();

// Drops the shared bitmaps and the GDI+ they kept running; called when the
// module may unload, never from its entry point. The next menu builds them
// again, from the icon files as they are then.
void ReleaseSharedMenuBitmaps();
