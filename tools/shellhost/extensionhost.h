#pragma once
#include <windows.h>
#include <unknwn.h>

#include <string>
#include <vector>

// Class indices of the extension: 1 the per-user icon handler, 6 the
// machine-wide one; 0 and 5 the context menus.
std::wstring ExtensionClassText(unsigned index);

// Where the extension's objects come from: the registry through
// CoCreateInstance, as Explorer creates them, or the DllGetClassObject of a
// DLL that is not registered.
class ExtensionHost {
 public:
  // An empty path means the registry.
  explicit ExtensionHost(std::wstring dllPath);
  ~ExtensionHost();
  ExtensionHost(const ExtensionHost&) = delete;
  ExtensionHost& operator=(const ExtensionHost&) = delete;

  // Creates an object of the first of the classes that is served; on
  // failure the message says why, in one line.
  HRESULT Create(const std::vector<unsigned>& classIndices, REFIID riid, void** object, std::wstring& message);

 private:
  HRESULT CreateFromDll(const CLSID& classId, REFIID riid, void** object);

  std::wstring dllPath;
  HMODULE module = nullptr;
  DWORD loadError = 0;
};

// A delivery may start the application and wait up to 30 seconds for it.
constexpr DWORD deliveryWaitMs = 45000;

// Waits until the extension's delivery threads have ended (the DLL answers
// DllCanUnloadNow with S_OK), as a host that stays alive lets them finish.
bool WaitForDeliveries(DWORD milliseconds);
