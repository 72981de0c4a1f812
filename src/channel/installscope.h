#pragma once
// Which installation of the application this DLL belongs to, settled once
// per process from the registry and the files on disk.
#include <atomic>

#include "channel/scopechoice.h"

extern std::atomic<InstallScope> installScope;

// Settles installScope while it is still Undecided; once decided it stays.
void DecideInstallScopeIfUndecided();
