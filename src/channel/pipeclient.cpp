#include "channel/pipeclient.h"

#include <cwchar>

#include "util/uniquehandle.h"

namespace {
constexpr wchar_t uninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tamvera Sync";
constexpr wchar_t userMutex[] = L"Local\\pipesynccmd_sync";
constexpr wchar_t serviceMutex[] = L"Global\\pipesynccmd_sync";
constexpr wchar_t userPipe[] = L"\\\\.\\pipe\\synccmd_sync";
constexpr wchar_t servicePipe[] = L"\\\\.\\pipe\\syncsvccmd_sync";

UniqueRegistryKey OpenUninstallKey(HKEY root) {
  for (const REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY}) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(root, uninstallKey, 0, KEY_READ | view, &key) == ERROR_SUCCESS) return UniqueRegistryKey(key);
  }
  return UniqueRegistryKey();
}
}  // namespace

std::wstring ReadInstallLocation(HKEY root) {
  const UniqueRegistryKey key = OpenUninstallKey(root);
  if (!key.Valid()) return {};
  wchar_t buffer[MAX_PATH] = {};
  DWORD type = REG_NONE;
  DWORD size = sizeof buffer;
  if (RegQueryValueExW(key.Get(), L"InstallLocation", nullptr, &type, reinterpret_cast<BYTE*>(buffer), &size) !=
          ERROR_SUCCESS ||
      type != REG_SZ)
    return {};
  // A stored value need not end in NUL; one that fills the whole buffer
  // without one is as long as a value that does not fit.
  const size_t length = wcsnlen(buffer, size / sizeof(wchar_t));
  if (length >= MAX_PATH) return {};
  return std::wstring(buffer, length);
}

bool IsMutexPresent(const wchar_t* name) {
  const UniqueKernelObject mutex(OpenMutexW(SYNCHRONIZE, FALSE, name));
  return mutex.Valid();
}

std::wstring SelectCommandPipe(InstallScope scope) {
  // With the scope undecided the per-user application wins over the service.
  if ((scope == InstallScope::Undecided || scope == InstallScope::User) && IsMutexPresent(userMutex))
    return userPipe;
  if ((scope == InstallScope::Undecided || scope == InstallScope::Service) && IsMutexPresent(serviceMutex))
    return servicePipe;
  return {};
}

bool IsServicePipe(const std::wstring& pipeName) { return pipeName == servicePipe; }
