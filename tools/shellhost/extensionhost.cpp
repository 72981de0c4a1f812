#include "extensionhost.h"

#include <cwchar>

#include "console.h"

std::wstring ExtensionClassText(unsigned index) {
  wchar_t text[64];
  std::swprintf(text, 64, L"{581FFA%02X-FC33-0000-0602-95003A5CDE89}", index & 0xFF);
  return text;
}

ExtensionHost::ExtensionHost(std::wstring path) : dllPath(std::move(path)) {
  if (dllPath.empty()) return;
  module = LoadLibraryExW(dllPath.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (!module) loadError = GetLastError();
}

ExtensionHost::~ExtensionHost() {
  if (module) FreeLibrary(module);
}

HRESULT ExtensionHost::CreateFromDll(const CLSID& classId, REFIID riid, void** object) {
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  const auto entry =
      reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  if (!entry) return E_NOINTERFACE;
  IClassFactory* factory = nullptr;
  HRESULT result = entry(classId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(result)) return result;
  result = factory->CreateInstance(nullptr, riid, object);
  factory->Release();
  return result;
}

HRESULT ExtensionHost::Create(const std::vector<unsigned>& classIndices, REFIID riid, void** object,
                              std::wstring& message) {
  *object = nullptr;
  if (!dllPath.empty() && !module) {
    message = L"cannot load " + dllPath + L" (error " + std::to_wstring(loadError) + L")";
    return HRESULT_FROM_WIN32(loadError);
  }
  if (module && !GetProcAddress(module, "DllGetClassObject")) {
    message = dllPath + L" exports no DllGetClassObject";
    return E_NOINTERFACE;
  }
  HRESULT result = REGDB_E_CLASSNOTREG;
  for (unsigned index : classIndices) {
    CLSID classId{};
    CLSIDFromString(ExtensionClassText(index).c_str(), &classId);
    result = module ? CreateFromDll(classId, riid, object)
                    : CoCreateInstance(classId, nullptr, CLSCTX_INPROC_SERVER, riid, object);
    if (SUCCEEDED(result)) return result;
    if (result != REGDB_E_CLASSNOTREG && result != CLASS_E_CLASSNOTAVAILABLE) break;
  }
  if (result == REGDB_E_CLASSNOTREG) {
    message = L"the class " + ExtensionClassText(classIndices.front()) +
              L" is not registered; pass the DLL with --dll PATH";
  } else {
    message = L"cannot create the object (" + Hex(result) + L")";
  }
  return result;
}

bool WaitForDeliveries(DWORD milliseconds) {
  HMODULE module = GetModuleHandleW(L"SyncShellContextMenu.dll");
  if (!module) return true;
  using CanUnloadNow = HRESULT(STDAPICALLTYPE*)();
  const auto canUnload =
      reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  if (!canUnload) return true;
  const ULONGLONG end = GetTickCount64() + milliseconds;
  while (canUnload() != S_OK) {
    if (GetTickCount64() >= end) return false;
    Sleep(50);
  }
  return true;
}
