#include "support/dllundertest.h"

#include <cstdio>

namespace {
// An export of the DLL called with the arguments; E_FAIL when the DLL did not
// load or lacks it, so that a test fails on the result instead of crashing.
template <typename Fn, typename... Args>
HRESULT CallExport(HMODULE module, const char* name, Args... args) {
  FARPROC address = module ? GetProcAddress(module, name) : nullptr;
  if (!address) return E_FAIL;
  return reinterpret_cast<Fn>(reinterpret_cast<void*>(address))(args...);
}
}  // namespace

std::wstring ProgramDirectory() {
  wchar_t buffer[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::wstring path = buffer;
  return path.substr(0, path.find_last_of(L"\\/"));
}

std::wstring DllUnderTest::Path() { return ProgramDirectory() + L"\\SyncShellContextMenu.dll"; }

DllUnderTest::DllUnderTest() {
  module = LoadLibraryW(Path().c_str());
  if (!module) fwprintf(stderr, L"cannot load %ls: error %lu\n", Path().c_str(), GetLastError());
}

DllUnderTest::~DllUnderTest() {
  if (module) FreeLibrary(module);
}

HRESULT DllUnderTest::GetClassObject(REFCLSID classId, REFIID riid, void** ppv) const {
  return CallExport<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(module, "DllGetClassObject", classId,
                                                                         riid, ppv);
}

HRESULT DllUnderTest::CanUnloadNow() const {
  return CallExport<HRESULT(STDAPICALLTYPE*)()>(module, "DllCanUnloadNow");
}

HRESULT DllUnderTest::RegisterServer() const {
  return CallExport<HRESULT(STDAPICALLTYPE*)()>(module, "DllRegisterServer");
}

HRESULT DllUnderTest::UnregisterServer() const {
  return CallExport<HRESULT(STDAPICALLTYPE*)()>(module, "DllUnregisterServer");
}

HRESULT DllUnderTest::Install(BOOL install, const wchar_t* commandLine) const {
  return CallExport<HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR)>(module, "DllInstall", install, commandLine);
}

HRESULT DllUnderTest::CreateObject(REFCLSID classId, REFIID riid, void** ppv) const {
  IClassFactory* factory = nullptr;
  HRESULT result = GetClassObject(classId, IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(result)) return result;
  result = factory->CreateInstance(nullptr, riid, ppv);
  factory->Release();
  return result;
}

CLSID TestClassId(unsigned index) {
  wchar_t text[64];
  swprintf(text, 64, L"{581FFA%02X-FC33-0000-0602-95003A5CDE89}", index);
  CLSID id{};
  CLSIDFromString(text, &id);
  return id;
}
