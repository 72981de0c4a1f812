#include <windows.h>
#include <unknwn.h>

#include <iterator>

#include "com/errorbarrier.h"
#include "com/modulereference.h"
#include "contextmenu/sharedmenubitmaps.h"
#include "contextmenu/shellcontextmenu.h"
#include "explorercommand/toplevelcommand.h"
#include "iconhandler/iconimagecache.h"
#include "iconhandler/shellfileicon.h"
#include "module/classfactory.h"
#include "module/classids.h"
#include "module/moduleinit.h"
#include "module/registration.h"

namespace {

template <typename T>
HRESULT ServeFactory(REFIID riid, void** ppv) {
  auto* factory = new (std::nothrow) ClassFactory<T>();
  if (!factory) return E_OUTOFMEMORY;
  factory->AddRef();
  const HRESULT result = factory->QueryInterface(riid, ppv);
  factory->Release();
  return result;
}

// The classes this DLL serves: each installation has its own class ids.
struct ServedClass {
  unsigned index;
  HRESULT (*serve)(REFIID riid, void** ppv);
};
constexpr ServedClass servedClasses[] = {
    {UserMenuClass, &ServeFactory<ShellContextMenu>},
    {ServiceMenuClass, &ServeFactory<ShellContextMenu>},
    {UserIconClass, &ServeFactory<ShellFileIcon>},
    {ServiceIconClass, &ServeFactory<ShellFileIcon>},
    {UserCommandClass, &ServeFactory<UserTopLevelCommand>},
    {ServiceCommandClass, &ServeFactory<ServiceTopLevelCommand>},
};

}  // namespace

extern "C" {

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) try {
  InitializeModuleOnce();
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  for (const ServedClass& served : servedClasses) {
    if (rclsid == ClassIdOf(served.index)) return served.serve(riid, ppv);
  }
  return CLASS_E_CLASSNOTAVAILABLE;
} CATCH_RETURN()

// Before the caller may unload the module, what the objects shared goes, on
// the caller's thread: the loader lock of the entry point forbids GDI+.
STDAPI DllCanUnloadNow() try {
  if (moduleObjectCount.load() != 0) return S_FALSE;
  ReleaseSharedMenuBitmaps();
  ReleaseIconImageCache();
  return S_OK;
} CATCH_RETURN()

// Registration happens through DllInstall only.
STDAPI DllRegisterServer() { return S_OK; }
STDAPI DllUnregisterServer() { return S_OK; }

// A registration that threw reports the installer's generic failure.
STDAPI DllInstall(BOOL install, LPCWSTR commandLine) try {
  return InstallExtension(install != FALSE, commandLine);
} catch (...) {
  return E_FAIL;
}

}  // extern "C"
