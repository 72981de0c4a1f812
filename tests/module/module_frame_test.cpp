// The COM server frame as a host sees it: class factories, reference counts,
// DllCanUnloadNow and the GDI+ lifetime, all through the built DLL.
#include <windows.h>
#include <gdiplus.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include "support/dllundertest.h"
#include "support/importhook.h"

namespace {

class ModuleFrame : public ::testing::Test {
 protected:
  DllUnderTest dll;
};

TEST_F(ModuleFrame, ServesTheFourClassesAndRefusesTheirNeighbours) {
  for (unsigned index = 0; index < 12; ++index) {
    IClassFactory* factory = nullptr;
    const HRESULT result = dll.GetClassObject(TestClassId(index), IID_IClassFactory,
                                              reinterpret_cast<void**>(&factory));
    const bool served = index == 0 || index == 1 || index == 5 || index == 6;
    if (served) {
      ASSERT_EQ(result, S_OK) << index;
      ASSERT_NE(factory, nullptr);
      EXPECT_EQ(dll.CanUnloadNow(), S_FALSE) << "a live factory keeps the DLL loaded";
      EXPECT_EQ(factory->Release(), 0u);
    } else {
      EXPECT_EQ(result, CLASS_E_CLASSNOTAVAILABLE) << index;
      EXPECT_EQ(factory, nullptr);
    }
    EXPECT_EQ(dll.CanUnloadNow(), S_OK) << index;
  }
}

TEST_F(ModuleFrame, FactoryAnswersOnlyForItsTwoInterfaces) {
  IUnknown* unknown = nullptr;
  ASSERT_EQ(dll.GetClassObject(TestClassId(0), IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  unknown->Release();

  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(dll.GetClassObject(TestClassId(1), IID_IContextMenu, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  EXPECT_EQ(dll.CanUnloadNow(), S_OK) << "the refused factory is destroyed at once";
}

TEST_F(ModuleFrame, FactoryCountsItsReferencesAndIgnoresLockServer) {
  IClassFactory* factory = nullptr;
  ASSERT_EQ(dll.GetClassObject(TestClassId(5), IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  EXPECT_EQ(factory->AddRef(), 2u);
  IUnknown* same = nullptr;
  ASSERT_EQ(factory->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&same)), S_OK);
  EXPECT_EQ(static_cast<void*>(same), static_cast<void*>(factory));
  EXPECT_EQ(same->Release(), 2u);
  EXPECT_EQ(factory->LockServer(TRUE), S_OK);
  EXPECT_EQ(factory->Release(), 1u);
  EXPECT_EQ(factory->Release(), 0u);
  EXPECT_EQ(dll.CanUnloadNow(), S_OK) << "LockServer does not keep the DLL loaded";
}

TEST_F(ModuleFrame, CreateInstanceRefusesAggregationAndUnknownInterfaces) {
  IClassFactory* factory = nullptr;
  ASSERT_EQ(dll.GetClassObject(TestClassId(0), IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  void* object = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(reinterpret_cast<IUnknown*>(factory), IID_IUnknown, &object),
            CLASS_E_NOAGGREGATION);
  EXPECT_EQ(object, nullptr);
  object = reinterpret_cast<void*>(1);
  EXPECT_EQ(factory->CreateInstance(nullptr, IID_IContextMenu2, &object), E_NOINTERFACE);
  EXPECT_EQ(object, nullptr);
  factory->Release();
  EXPECT_EQ(dll.CanUnloadNow(), S_OK) << "the refused object is destroyed";
}

TEST_F(ModuleFrame, ContextMenuObjectIdentities) {
  IContextMenu* menu = nullptr;
  ASSERT_EQ(dll.CreateObject(TestClassId(0), IID_IContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
  EXPECT_EQ(dll.CanUnloadNow(), S_FALSE);
  IUnknown* unknown = nullptr;
  IShellExtInit* init = nullptr;
  ASSERT_EQ(menu->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  ASSERT_EQ(menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
  EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(init)) << "IUnknown is the IShellExtInit part";
  EXPECT_NE(static_cast<void*>(unknown), static_cast<void*>(menu));
  for (const IID* refused : {&IID_IContextMenu2, &IID_IContextMenu3, &IID_IPersistFile}) {
    void* other = reinterpret_cast<void*>(1);
    EXPECT_EQ(menu->QueryInterface(*refused, &other), E_NOINTERFACE);
    EXPECT_EQ(other, nullptr);
  }
  EXPECT_EQ(init->Release(), 2u);
  EXPECT_EQ(unknown->Release(), 1u);
  EXPECT_EQ(menu->Release(), 0u);
  EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

TEST_F(ModuleFrame, IconObjectIdentities) {
  IExtractIconW* extract = nullptr;
  ASSERT_EQ(dll.CreateObject(TestClassId(6), IID_IExtractIconW, reinterpret_cast<void**>(&extract)), S_OK);
  IUnknown* unknown = nullptr;
  IPersistFile* persist = nullptr;
  ASSERT_EQ(extract->QueryInterface(IID_IUnknown, reinterpret_cast<void**>(&unknown)), S_OK);
  ASSERT_EQ(extract->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)), S_OK);
  EXPECT_EQ(static_cast<void*>(unknown), static_cast<void*>(extract)) << "IUnknown is the IExtractIconW part";
  void* other = reinterpret_cast<void*>(1);
  EXPECT_EQ(persist->QueryInterface(IID_IPersist, &other), E_NOINTERFACE);
  EXPECT_EQ(other, nullptr);
  persist->Release();
  unknown->Release();
  EXPECT_EQ(extract->Release(), 0u);
  EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

int startups = 0;
int shutdowns = 0;
void* realStartup = nullptr;
void* realShutdown = nullptr;

Gdiplus::Status WINAPI CountingStartup(ULONG_PTR* token, const Gdiplus::GdiplusStartupInput* input,
                                       Gdiplus::GdiplusStartupOutput* output) {
  ++startups;
  using Fn = decltype(&CountingStartup);
  return reinterpret_cast<Fn>(realStartup)(token, input, output);
}

void WINAPI CountingShutdown(ULONG_PTR token) {
  ++shutdowns;
  using Fn = decltype(&CountingShutdown);
  reinterpret_cast<Fn>(realShutdown)(token);
}

TEST_F(ModuleFrame, GdiplusStartsOnceAndStopsOnceForTwoObjects) {
  ImportHook startup(dll.Module(), "gdiplus.dll", "GdiplusStartup", reinterpret_cast<void*>(&CountingStartup));
  ImportHook shutdown(dll.Module(), "gdiplus.dll", "GdiplusShutdown",
                      reinterpret_cast<void*>(&CountingShutdown));
  ASSERT_TRUE(startup.Installed() && shutdown.Installed());
  realStartup = startup.Original();
  realShutdown = shutdown.Original();
  startups = shutdowns = 0;

  IContextMenu* menu = nullptr;
  IExtractIconW* icon = nullptr;
  ASSERT_EQ(dll.CreateObject(TestClassId(0), IID_IContextMenu, reinterpret_cast<void**>(&menu)), S_OK);
  ASSERT_EQ(dll.CreateObject(TestClassId(1), IID_IExtractIconW, reinterpret_cast<void**>(&icon)), S_OK);
  EXPECT_EQ(startups, 1);
  menu->Release();
  EXPECT_EQ(shutdowns, 0) << "the icon object still needs GDI+";
  icon->Release();
  EXPECT_EQ(startups, 1);
  EXPECT_EQ(shutdowns, 1);
}

TEST_F(ModuleFrame, RegisterAndUnregisterServerLeaveTheRegistryAlone) {
  const wchar_t* menuKey = L"Software\\Classes\\CLSID\\{581FFA00-FC33-0000-0602-95003A5CDE89}";
  EXPECT_EQ(dll.RegisterServer(), S_OK);
  HKEY key = nullptr;
  EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, menuKey, 0, KEY_READ, &key), ERROR_SUCCESS);
  EXPECT_EQ(dll.UnregisterServer(), S_OK);
}

}  // namespace
