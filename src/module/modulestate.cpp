#include "module/modulestate.h"

#include "log/extensionlog.h"

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

void InitializeModuleOnce() {
  if (moduleInitialized) return;
  moduleInitialized = true;
  FillModulePath();
  CreateExtensionLog();
}

void IncrementModuleObjectCount() {
  ++moduleObjectCount;
  RefreshLogSwitch();
}

void DecrementModuleObjectCount() {
  --moduleObjectCount;
  RefreshLogSwitch();
}
