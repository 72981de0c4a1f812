#pragma once
#include <windows.h>

#include <string>
#include <vector>

// The names the extension registers under one root: the per-user
// installation and the machine-wide (service) one differ in display name
// and class ids, so both can be registered side by side.
struct RegistrationKeys {
  std::wstring displayName;
  std::wstring allFilesHandlerKey;
  std::wstring shortcutHandlerKey;
  std::wstring directoryHandlerKey;
  std::wstring iconHandlerKey;
  std::wstring menuClassId;
  std::wstring iconClassId;
};

RegistrationKeys MakeRegistrationKeys(HKEY root);

// On 64-bit Windows the class keys exist once per registry view while the
// handler keys are shared; naming the view keeps the result independent of
// redirection. Shared keys are read and written in the 64-bit view.
#ifdef _WIN64
constexpr REGSAM ownArchitectureView = KEY_WOW64_64KEY, otherArchitectureView = KEY_WOW64_32KEY;
#else
constexpr REGSAM ownArchitectureView = KEY_WOW64_32KEY, otherArchitectureView = KEY_WOW64_64KEY;
#endif
constexpr REGSAM sharedKeyView = KEY_WOW64_64KEY;

// One REG_SZ value to write. An empty value name is the key's default value;
// an empty format argument leaves the key format as it is.
struct RegistrationEntry {
  HKEY root;
  std::wstring keyFormat;
  std::wstring valueName;
  DWORD valueType;
  std::wstring formatArgument;
  std::wstring data;
  REGSAM view;

  std::wstring KeyPath() const;
};

std::vector<RegistrationEntry> MakeRegistrationTable(HKEY root, const RegistrationKeys& keys,
                                                     const std::wstring& registeredPath);

// The path written to InprocServer32: an update staged as "<name>_new.dll"
// is registered under the name it will have once it replaces the old DLL.
std::wstring RegisteredPath(const std::wstring& modulePath);

// Both act on the given root.
bool RegisterExtension(HKEY root);
bool UnregisterExtension(HKEY root);

// DllInstall: "S" selects the machine-wide root for the rest of the process
// (the settings follow it); then registers or unregisters under the root.
HRESULT InstallExtension(bool install, const wchar_t* commandLine);
