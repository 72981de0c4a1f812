// The shape every COM object of the DLL shares, linked into the test itself.
#include <windows.h>
#include <objidl.h>

#include <gtest/gtest.h>

#include <new>
#include <stdexcept>

#include "com/comobject.h"
#include "com/errorbarrier.h"
#include "com/modulereference.h"

namespace {

int countChanges = 0;

class TwoFaced : public ComObject<TwoFaced>, public IPersist, public IClassFactory {
 public:
  COM_OBJECT_IUNKNOWN()
  HRESULT STDMETHODCALLTYPE GetClassID(CLSID*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return E_NOTIMPL; }
  static const QITAB interfaceTable[];
};
const QITAB TwoFaced::interfaceTable[] = {QITABENT(TwoFaced, IPersist), QITABENT(TwoFaced, IClassFactory), {}};

TEST(ComObject, CountsReferencesAndTheModulesObjectsAndAnswersItsTable) {
  SetObjectCountObserver([] { ++countChanges; });
  auto* object = new TwoFaced();
  EXPECT_EQ(moduleObjectCount.load(), 1);
  EXPECT_EQ(countChanges, 1) << "the observer hears every change";
  IUnknown* unknown = nullptr;
  IClassFactory* factory = nullptr;
  ASSERT_EQ(object->QueryInterface(IID_PPV_ARGS(&unknown)), S_OK);
  ASSERT_EQ(object->QueryInterface(IID_PPV_ARGS(&factory)), S_OK);
  EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(static_cast<IPersist*>(object))) << "the first row";
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(object->QueryInterface(IID_IPersistFile, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);
  EXPECT_EQ(factory->Release(), 1u);
  EXPECT_EQ(moduleObjectCount.load(), 1);
  EXPECT_EQ(unknown->Release(), 0u);
  EXPECT_EQ(moduleObjectCount.load(), 0) << "gone with its last reference";
  EXPECT_EQ(countChanges, 2);
  SetObjectCountObserver(nullptr);
}

HRESULT Throwing(int what) try {
  if (what == 0) throw std::bad_alloc();
  if (what == 1) throw std::runtime_error("any other");
  throw 42;
} CATCH_RETURN()

TEST(ErrorBarrier, TellsOutOfMemoryFromAnyOtherException) {
  EXPECT_EQ(Throwing(0), E_OUTOFMEMORY);
  EXPECT_EQ(Throwing(1), E_UNEXPECTED);
  EXPECT_EQ(Throwing(2), E_UNEXPECTED);
}

}  // namespace
