#pragma once
#include "module/modulestate.h"

// Base of every COM object and class factory: each one keeps the DLL loaded
// (DllCanUnloadNow) for as long as it lives.
class RefCountedObject {
 public:
  RefCountedObject() { IncrementModuleObjectCount(); }
  ~RefCountedObject() { DecrementModuleObjectCount(); }
  RefCountedObject(const RefCountedObject&) = delete;
  RefCountedObject& operator=(const RefCountedObject&) = delete;
};
