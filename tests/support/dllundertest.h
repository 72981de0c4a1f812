#pragma once
#include <windows.h>
#include <unknwn.h>

#include <string>

// The built SyncShellContextMenu.dll, loaded from beside the test program,
// the way a host loads it: only through its exports.
class DllUnderTest {
 public:
  DllUnderTest();
  ~DllUnderTest();
  DllUnderTest(const DllUnderTest&) = delete;
  DllUnderTest& operator=(const DllUnderTest&) = delete;

  HMODULE Module() const { return module; }
  HRESULT GetClassObject(REFCLSID classId, REFIID riid, void** ppv) const;
  HRESULT CanUnloadNow() const;
  HRESULT RegisterServer() const;
  HRESULT UnregisterServer() const;
  HRESULT Install(BOOL install, const wchar_t* commandLine) const;

  // Creates an object of the class through a fresh factory.
  HRESULT CreateObject(REFCLSID classId, REFIID riid, void** ppv) const;

  static std::wstring Path();

 private:
  HMODULE module = nullptr;
};

// The folder that holds the test program (and the DLL and tools).
std::wstring ProgramDirectory();

// "{581FFAnn-FC33-0000-0602-95003A5CDE89}" as a CLSID, built independently of
// the DLL's own formatting.
CLSID TestClassId(unsigned index);
