#include "com/modulereference.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

std::wstring modulePath;
std::atomic<LONG> moduleObjectCount{0};

namespace {
std::atomic<ObjectCountObserver> objectCountObserver{nullptr};

void NotifyObserver() {
  if (const ObjectCountObserver observer = objectCountObserver.load()) observer();
}
}  // namespace

HMODULE ModuleHandle() { return reinterpret_cast<HMODULE>(&__ImageBase); }

void FillModulePath() {
  if (!modulePath.empty()) return;
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(ModuleHandle(), buffer, MAX_PATH);
  // A truncated name would point at some other file: keep the path empty.
  if (length == 0 || length >= MAX_PATH) return;
  modulePath.assign(buffer, length);
}

void SetObjectCountObserver(ObjectCountObserver observer) { objectCountObserver.store(observer); }

void IncrementModuleObjectCount() {
  ++moduleObjectCount;
  NotifyObserver();
}

void DecrementModuleObjectCount() {
  --moduleObjectCount;
  NotifyObserver();
}
