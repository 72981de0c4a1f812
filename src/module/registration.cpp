#include "module/registration.h"

#include "syncshellversion.h"

#include <shlobj.h>

#include <cwchar>

#include "log/extensionlog.h"
#include "module/classids.h"
#include "com/modulereference.h"
#include "util/settingsroot.h"
#include "util/uniquehandle.h"
#include "util/strfmt.h"

namespace {

constexpr int versionMajor = SYNCSHELL_VERSION_MAJOR, versionMinor = SYNCSHELL_VERSION_MINOR,
              versionPatch = SYNCSHELL_VERSION_PATCH;
constexpr wchar_t applicationName[] = L"Tamvera Sync";
constexpr wchar_t classKeyFormat[] = L"Software\\Classes\\CLSID\\%s";
constexpr wchar_t serverKeyFormat[] = L"Software\\Classes\\CLSID\\%s\\InprocServer32";
constexpr wchar_t settingsKeyFormat[] = L"Software\\Classes\\CLSID\\%s\\Settings";
constexpr wchar_t stagedSuffix[] = L"_new.dll";
constexpr size_t stagedSuffixLength = 8;

std::wstring HandlerKey(const wchar_t* fileClass, const std::wstring& displayName) {
  return FormatWideString(L"Software\\Classes\\%s\\shellex\\ContextMenuHandlers\\%s", fileClass,
                          displayName.c_str());
}

// A truncated name would register some other file, so it counts as none.
std::wstring ModuleFileName() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(ModuleHandle(), buffer, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return {};
  return std::wstring(buffer, length);
}

void NotifyAssociationsChanged() { SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr); }

// The other architecture's copy, registered side by side, keeps the shared
// handler keys alive as long as its view still serves the class.
bool OtherViewServes(HKEY root, const std::wstring& classId) {
  UniqueRegistryKey key;
  return RegOpenKeyExW(root, FormatWideString(serverKeyFormat, classId.c_str()).c_str(), 0,
                       KEY_QUERY_VALUE | otherArchitectureView, key.Put()) == ERROR_SUCCESS;
}

// RegDeleteKeyExW keeps keys that still have subkeys: leaves go first.
// The class keys go in this architecture's view only; the shared handler
// keys only when neither view serves their class any more.
void DeleteRegistrationKeys(HKEY root, const RegistrationKeys& keys) {
  const std::wstring classKeys[] = {
      FormatWideString(serverKeyFormat, keys.menuClassId.c_str()),
      FormatWideString(settingsKeyFormat, keys.menuClassId.c_str()),
      FormatWideString(classKeyFormat, keys.menuClassId.c_str()),
      FormatWideString(serverKeyFormat, keys.iconClassId.c_str()),
      FormatWideString(classKeyFormat, keys.iconClassId.c_str()),
  };
  for (const std::wstring& key : classKeys) RegDeleteKeyExW(root, key.c_str(), ownArchitectureView, 0);
  if (!OtherViewServes(root, keys.menuClassId)) {
    for (const std::wstring* key : {&keys.allFilesHandlerKey, &keys.shortcutHandlerKey, &keys.directoryHandlerKey})
      RegDeleteKeyExW(root, key->c_str(), sharedKeyView, 0);
  }
  if (!OtherViewServes(root, keys.iconClassId)) RegDeleteKeyExW(root, keys.iconHandlerKey.c_str(), sharedKeyView, 0);
}

bool WriteEntry(const RegistrationEntry& entry) {
  UniqueRegistryKey key;
  if (RegCreateKeyExW(entry.root, entry.KeyPath().c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE | entry.view, nullptr, key.Put(), nullptr) != ERROR_SUCCESS)
    return false;
  const wchar_t* name = entry.valueName.empty() ? nullptr : entry.valueName.c_str();
  const DWORD size = static_cast<DWORD>((entry.data.size() + 1) * sizeof(wchar_t));
  RegSetValueExW(key.Get(), name, 0, entry.valueType, reinterpret_cast<const BYTE*>(entry.data.c_str()), size);
  return true;
}

}  // namespace

RegistrationKeys MakeRegistrationKeys(HKEY root) {
  const bool machineWide = root == HKEY_LOCAL_MACHINE;
  const std::wstring version = FormatWideString(L"%d.%d.%d", versionMajor, versionMinor, versionPatch);
  RegistrationKeys keys;
  keys.displayName =
      FormatWideString(machineWide ? L"%s Service %s" : L"%s %s", applicationName, version.c_str());
  keys.allFilesHandlerKey = HandlerKey(L"*", keys.displayName);
  keys.shortcutHandlerKey = HandlerKey(L"lnkfile", keys.displayName);
  keys.directoryHandlerKey = HandlerKey(L"Directory", keys.displayName);
  keys.iconHandlerKey = FormatWideString(L"Software\\Classes\\%s\\shellex\\IconHandler", applicationName);
  keys.menuClassId = FormatClassId(machineWide ? ServiceMenuClass : UserMenuClass);
  keys.iconClassId = FormatClassId(machineWide ? ServiceIconClass : UserIconClass);
  return keys;
}

std::wstring RegistrationEntry::KeyPath() const {
  if (formatArgument.empty()) return keyFormat;
  return FormatWideString(keyFormat.c_str(), formatArgument.c_str());
}

std::vector<RegistrationEntry> MakeRegistrationTable(HKEY root, const RegistrationKeys& keys,
                                                     const std::wstring& registeredPath) {
  const std::wstring defaultValue;
  const std::wstring threadingModel = L"ThreadingModel";
  const std::wstring apartment = L"Apartment";
  const REGSAM own = ownArchitectureView, shared = sharedKeyView;
  return {
      {root, classKeyFormat, defaultValue, REG_SZ, keys.menuClassId, keys.displayName, own},
      {root, serverKeyFormat, defaultValue, REG_SZ, keys.menuClassId, registeredPath, own},
      {root, serverKeyFormat, threadingModel, REG_SZ, keys.menuClassId, apartment, own},
      {root, keys.allFilesHandlerKey, defaultValue, REG_SZ, {}, keys.menuClassId, shared},
      {root, keys.shortcutHandlerKey, defaultValue, REG_SZ, {}, keys.menuClassId, shared},
      {root, keys.directoryHandlerKey, defaultValue, REG_SZ, {}, keys.menuClassId, shared},
      {root, classKeyFormat, defaultValue, REG_SZ, keys.iconClassId, keys.displayName, own},
      {root, serverKeyFormat, defaultValue, REG_SZ, keys.iconClassId, registeredPath, own},
      {root, serverKeyFormat, threadingModel, REG_SZ, keys.iconClassId, apartment, own},
      {root, keys.iconHandlerKey, defaultValue, REG_SZ, {}, keys.iconClassId, shared},
  };
}

std::wstring RegisteredPath(const std::wstring& modulePath) {
  const size_t length = modulePath.size();
  if (length <= stagedSuffixLength ||
      modulePath.compare(length - stagedSuffixLength, stagedSuffixLength, stagedSuffix) != 0)
    return modulePath;
  return modulePath.substr(0, length - stagedSuffixLength) + L".dll";
}

bool RegisterExtension(HKEY root) {
  LogMessage(L"RegisterServer");
  const std::wstring modulePath = ModuleFileName();
  if (modulePath.empty()) return false;
  const RegistrationKeys keys = MakeRegistrationKeys(root);
  const std::vector<RegistrationEntry> table = MakeRegistrationTable(root, keys, RegisteredPath(modulePath));
  // Start from removed keys; one notification covers the removal and the
  // new values, and a registration that fails part-way sends none.
  DeleteRegistrationKeys(root, keys);
  for (const RegistrationEntry& entry : table) {
    if (!WriteEntry(entry)) return false;
  }
  NotifyAssociationsChanged();
  return true;
}

bool UnregisterExtension(HKEY root) {
  DeleteRegistrationKeys(root, MakeRegistrationKeys(root));
  NotifyAssociationsChanged();
  return true;
}

HRESULT InstallExtension(bool install, const wchar_t* commandLine) {
  if (commandLine && std::wcscmp(commandLine, L"S") == 0) UseMachineSettings();
  const HKEY root = SettingsRoot();
  const bool done = install ? RegisterExtension(root) : UnregisterExtension(root);
  return done ? S_OK : E_FAIL;
}
