#include "module/moduleinit.h"

#include "com/modulereference.h"
#include "log/extensionlog.h"
#include "util/uniquehandle.h"

bool moduleInitialized = false;

namespace {
// The first class-object requests can come from several apartment threads
// at once; the one-time work runs on one of them, and again after a try
// that ran out of memory.
CriticalSection initializationLock;

void RefreshLogSwitchOnCountChange() { RefreshLogSwitch(); }
}  // namespace

void InitializeModuleOnce() {
  SectionLock lock(initializationLock);
  if (moduleInitialized) return;
  FillModulePath();
  CreateExtensionLog();
  SetObjectCountObserver(&RefreshLogSwitchOnCountChange);
  moduleInitialized = true;
}
