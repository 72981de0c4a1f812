#pragma once
// The one shape of the DLL's COM objects: reference counting, QueryInterface
// over the platform's QISearch, and a share of the module's object count.
#include <windows.h>
#include <shlwapi.h>

#include "com/modulereference.h"

// Keeps the DLL loaded (DllCanUnloadNow) for as long as the object lives.
class RefCountedObject {
 public:
  RefCountedObject() { IncrementModuleObjectCount(); }
  ~RefCountedObject() { DecrementModuleObjectCount(); }
  RefCountedObject(const RefCountedObject&) = delete;
  RefCountedObject& operator=(const RefCountedObject&) = delete;
};

// Derived lists its interfaces as a static QITAB table, null-terminated.
// QISearch answers IUnknown with the first row, so the first row is the
// object's identity.
template <typename Derived>
class ComObject : private RefCountedObject {
 public:
  virtual ~ComObject() = default;

 protected:
  HRESULT QueryInterfaceImpl(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    return QISearch(static_cast<Derived*>(this), Derived::interfaceTable, riid, ppv);
  }
  ULONG AddRefImpl() { return InterlockedIncrement(&referenceCount); }
  ULONG ReleaseImpl() {
    const LONG count = InterlockedDecrement(&referenceCount);
    // Through the most derived type: the compiler then frees the address
    // new gave, not this base's.
    if (count == 0) delete static_cast<Derived*>(this);
    return static_cast<ULONG>(count);
  }

 private:
  LONG referenceCount = 0;
};

// The IUnknown methods of a ComObject, declared in the class's public part.
#define COM_OBJECT_IUNKNOWN()                                                                           \
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {                          \
    return QueryInterfaceImpl(riid, ppv);                                                               \
  }                                                                                                     \
  ULONG STDMETHODCALLTYPE AddRef() override { return AddRefImpl(); }                                    \
  ULONG STDMETHODCALLTYPE Release() override { return ReleaseImpl(); }
