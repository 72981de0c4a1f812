#pragma once
#include <windows.h>
#include <unknwn.h>

#include <new>

#include "com/comobject.h"
#include "com/errorbarrier.h"

// A class factory for T; each DllGetClassObject makes its own.
template <typename T>
class ClassFactory final : public IClassFactory, public ComObject<ClassFactory<T>> {
  using Base = ComObject<ClassFactory<T>>;

 public:
  static const QITAB interfaceTable[];

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    return Base::QueryInterfaceImpl(riid, ppv);
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return Base::AddRefImpl(); }
  ULONG STDMETHODCALLTYPE Release() override { return Base::ReleaseImpl(); }

  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override try {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    T* object = new (std::nothrow) T();
    if (!object) return E_OUTOFMEMORY;
    // The object lives on its interface's reference, or not at all.
    object->AddRef();
    const HRESULT result = object->QueryInterface(riid, ppv);
    object->Release();
    return result;
  } CATCH_RETURN()

  // The DLL's lifetime follows its objects alone.
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }
};

template <typename T>
const QITAB ClassFactory<T>::interfaceTable[] = {
    {&IID_IClassFactory, OFFSETOFCLASS(IClassFactory, ClassFactory<T>)},
    {nullptr, 0},
};
