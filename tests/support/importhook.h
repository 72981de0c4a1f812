#pragma once
#include <windows.h>

// Replaces one imported function of a loaded module in its import address
// table for the life of the object, so that a test can count or fail the
// module's calls into the system.
class ImportHook {
 public:
  ImportHook(HMODULE module, const char* dllName, const char* functionName, void* replacement);
  ~ImportHook();
  ImportHook(const ImportHook&) = delete;
  ImportHook& operator=(const ImportHook&) = delete;

  bool Installed() const { return slot != nullptr; }
  void* Original() const { return original; }

 private:
  void** slot = nullptr;
  void* original = nullptr;
};
