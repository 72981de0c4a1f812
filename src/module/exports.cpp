#include <windows.h>
#include <unknwn.h>

#include "contextmenu/shellcontextmenu.h"
#include "iconhandler/shellfileicon.h"
#include "module/classfactory.h"
#include "module/classids.h"
#include "module/modulestate.h"
#include "module/registration.h"

namespace {

template <typename T>
HRESULT ServeFactory(REFIID riid, void** ppv) {
  auto* factory = new (std::nothrow) ClassFactory<T>();
  if (!factory) return E_OUTOFMEMORY;
  const HRESULT result = factory->QueryInterface(riid, ppv);
  if (FAILED(result)) delete factory;
  return result;
}

}  // namespace

extern "C" {

STDAPI DllGetClassObject(REFCLSID rclsid, REFIID riid, LPVOID* ppv) try {
  InitializeModuleOnce();
  if (!ppv) return E_POINTER;
  *ppv = nullptr;
  if (rclsid == ClassIdOf(UserMenuClass) || rclsid == ClassIdOf(ServiceMenuClass))
    return ServeFactory<ShellContextMenu>(riid, ppv);
  if (rclsid == ClassIdOf(UserIconClass) || rclsid == ClassIdOf(ServiceIconClass))
    return ServeFactory<ShellFileIcon>(riid, ppv);
  return CLASS_E_CLASSNOTAVAILABLE;
} catch (...) {
  return E_OUTOFMEMORY;
}

STDAPI DllCanUnloadNow() { return moduleObjectCount.load() == 0 ? S_OK : S_FALSE; }

// Registration happens through DllInstall only.
STDAPI DllRegisterServer() { return S_OK; }
STDAPI DllUnregisterServer() { return S_OK; }

STDAPI DllInstall(BOOL install, LPCWSTR commandLine) try {
  return InstallExtension(install != FALSE, commandLine);
} catch (...) {
  return E_FAIL;
}

}  // extern "C"
