#include "module/modulestate.h"

#include "log/extensionlog.h"
#include "util/uniquehandle.h"

HMODULE moduleInstance = nullptr;
std::wstring modulePath;
bool moduleInitialized = false;
std::atomic<LONG> moduleObjectCount{0};
HKEY registryRoot = HKEY_CURRENT_USER;
UINT gdiplusUsers = 0;
ULONG_PTR gdiplusToken = 0;
std::atomic<InstallScope> installScope{InstallScope::Undecided};

void FillModulePath() {
  if (!modulePath.empty()) return;
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(moduleInstance, buffer, MAX_PATH);
  // A truncated name would point at some other file: keep the path empty.
  if (length == 0 || length >= MAX_PATH) return;
  modulePath.assign(buffer, length);
}

namespace {
// The first class-object requests can come from several apartment threads
// at once; the one-time work runs on one of them, and again after a try
// that ran out of memory.
CriticalSection initializationLock;
}  // namespace

void InitializeModuleOnce() {
  SectionLock lock(initializationLock);
  if (moduleInitialized) return;
  FillModulePath();
  CreateExtensionLog();
  moduleInitialized = true;
}

void IncrementModuleObjectCount() {
  ++moduleObjectCount;
  RefreshLogSwitch();
}

void DecrementModuleObjectCount() {
  --moduleObjectCount;
  RefreshLogSwitch();
}
