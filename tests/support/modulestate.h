#pragma once
// Tests that link the layers into their own process change the module's
// process-wide state only through these hooks, which exist in tests alone.
#include "channel/installscope.h"
#include "com/modulereference.h"
#include "module/moduleinit.h"

// The installation scope for the life of the object; the one found comes back.
class InstallScopeOverride {
 public:
  explicit InstallScopeOverride(InstallScope scope) : saved(installScope.load()) { installScope = scope; }
  ~InstallScopeOverride() { installScope = saved; }
  InstallScopeOverride(const InstallScopeOverride&) = delete;
  InstallScopeOverride& operator=(const InstallScopeOverride&) = delete;
  void Set(InstallScope scope) { installScope = scope; }

 private:
  InstallScope saved;
};

// The module as before its first class-object request: not set up, no path.
inline void ForgetModuleInitialization() {
  moduleInitialized = false;
  modulePath.clear();
}
