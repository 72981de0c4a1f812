#include "support/dllundertest.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {
template <typename F>
F Export(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
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
  EXPECT_NE(module, nullptr) << "cannot load " << GetLastError();
}

DllUnderTest::~DllUnderTest() {
  if (module) FreeLibrary(module);
}

HRESULT DllUnderTest::GetClassObject(REFCLSID classId, REFIID riid, void** ppv) const {
  using Fn = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  return Export<Fn>(module, "DllGetClassObject")(classId, riid, ppv);
}

HRESULT DllUnderTest::CanUnloadNow() const {
  using Fn = HRESULT(STDAPICALLTYPE*)();
  return Export<Fn>(module, "DllCanUnloadNow")();
}

HRESULT DllUnderTest::RegisterServer() const {
  using Fn = HRESULT(STDAPICALLTYPE*)();
  return Export<Fn>(module, "DllRegisterServer")();
}

HRESULT DllUnderTest::UnregisterServer() const {
  using Fn = HRESULT(STDAPICALLTYPE*)();
  return Export<Fn>(module, "DllUnregisterServer")();
}

HRESULT DllUnderTest::Install(BOOL install, const wchar_t* commandLine) const {
  using Fn = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
  return Export<Fn>(module, "DllInstall")(install, commandLine);
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
