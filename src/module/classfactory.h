#pragma once
#include <windows.h>
#include <unknwn.h>

#include <new>

#include "module/refcountedobject.h"

// A class factory for T; each DllGetClassObject makes its own.
template <typename T>
class ClassFactory final : public IClassFactory, private RefCountedObject {
 public:
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = static_cast<IClassFactory*>(this);
      AddRef();
      return S_OK;
    }
    return E_NOINTERFACE;
  }

  ULONG STDMETHODCALLTYPE AddRef() override { return ++referenceCount; }

  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG count = --referenceCount;
    if (count == 0) delete this;
    return count;
  }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override try {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    T* object = new (std::nothrow) T();
    if (!object) return E_OUTOFMEMORY;
    const HRESULT result = object->QueryInterface(riid, ppv);
    if (result == E_NOINTERFACE) delete object;
    return result;
  } catch (...) {
    return E_OUTOFMEMORY;
  }

  // The DLL's lifetime follows its objects alone.
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

  virtual ~ClassFactory() = default;

 private:
  ULONG referenceCount = 0;
};
