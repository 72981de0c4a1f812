// The COM server frame as a host sees it: class factories, reference counts,
// DllCanUnloadNow and the GDI+ lifetime, all through the built DLL.
#include <windows.h>
#include <gdiplus.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "support/dllundertest.h"
#include "support/gdipluscalls.h"

namespace {
class ModuleFrame : public ::testing::Test {
 protected:
  DllUnderTest dll;
};

TEST_F(ModuleFrame, ServesTheFourClassesAndRefusesTheirNeighbours) {
  for (unsigned index = 0; index < 12; ++index) {
    const bool served = index == 0 || index == 1 || index == 5 || index == 6;
    IClassFactory* factory = nullptr;
    const HRESULT result = dll.GetClassObject(TestClassId(index), IID_PPV_ARGS(&factory));
    if (!served) {
      EXPECT_EQ(result, CLASS_E_CLASSNOTAVAILABLE) << index;
      continue;
    }
    ASSERT_EQ(result, S_OK) << index;
    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE) << "a live factory keeps the DLL loaded";
    IUnknown* same = nullptr;
    ASSERT_EQ(factory->QueryInterface(IID_PPV_ARGS(&same)), S_OK);
    EXPECT_EQ(static_cast<void*>(same), static_cast<void*>(factory));
    EXPECT_EQ(same->Release(), 1u);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK) << "and keeps nothing loaded";
    for (IUnknown* outer : {static_cast<IUnknown*>(factory), static_cast<IUnknown*>(nullptr)}) {
      void* object = reinterpret_cast<void*>(1);
      EXPECT_EQ(factory->CreateInstance(outer, outer ? IID_IUnknown : IID_IContextMenu2, &object),
                outer ? CLASS_E_NOAGGREGATION : E_NOINTERFACE);
      EXPECT_EQ(object, nullptr);
    }
    EXPECT_EQ(factory->Release(), 0u);
    EXPECT_EQ(dll.CanUnloadNow(), S_OK) << index;
  }
}

// The icon object's identity: tests/iconhandler/shellfileicon_dll_test.cpp.
TEST_F(ModuleFrame, ContextMenuObjectCountsReferencesAndAnswersOnlyItsInterfaces) {
  IContextMenu* menu = nullptr;
  ASSERT_EQ(dll.CreateObject(TestClassId(0), IID_PPV_ARGS(&menu)), S_OK);
  EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);
  IUnknown* unknown = nullptr;
  IShellExtInit* init = nullptr;
  ASSERT_EQ(menu->QueryInterface(IID_PPV_ARGS(&unknown)), S_OK);
  ASSERT_EQ(menu->QueryInterface(IID_PPV_ARGS(&init)), S_OK);
  EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(init)) << "IUnknown is the IShellExtInit part";
  for (const IID* refused : {&IID_IContextMenu2, &IID_IContextMenu3, &IID_IPersistFile}) {
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(init->QueryInterface(*refused, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
  }
  EXPECT_EQ(init->Release(), 2u);
  EXPECT_EQ(unknown->Release(), 1u);
  EXPECT_EQ(menu->Release(), 0u);
  EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

TEST_F(ModuleFrame, GdiplusStartsOnceAndStopsOnceForTwoObjects) {
  GdiplusCalls calls(dll.Module());
  ASSERT_TRUE(calls.Installed());
  IContextMenu* menu = nullptr;
  IExtractIconW* icon = nullptr;
  ASSERT_EQ(dll.CreateObject(TestClassId(0), IID_PPV_ARGS(&menu)), S_OK);
  ASSERT_EQ(dll.CreateObject(TestClassId(1), IID_IExtractIconW, reinterpret_cast<void**>(&icon)), S_OK);
  menu->Release();
  EXPECT_EQ(GdiplusCalls::shutdowns, 0) << "the icon object still needs GDI+";
  icon->Release();
  EXPECT_EQ(GdiplusCalls::startups, 1);
  EXPECT_EQ(GdiplusCalls::shutdowns, 1);
}

}  // namespace
