#include "channel/pipeclient.h"

#include <cwchar>

#include "channel/scopedhandle.h"

namespace {
constexpr wchar_t uninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tamvera Sync";
constexpr wchar_t userMutex[] = L"Local\\pipesynccmd_sync";
constexpr wchar_t serviceMutex[] = L"Global\\pipesynccmd_sync";
constexpr wchar_t userPipe[] = L"\\\\.\\pipe\\synccmd_sync";
constexpr wchar_t servicePipe[] = L"\\\\.\\pipe\\syncsvccmd_sync";

bool OpenUninstallKey(HKEY root, ScopedKey& key) {
  return RegOpenKeyExW(root, uninstallKey, 0, KEY_READ | KEY_WOW64_64KEY, key.Receive()) == ERROR_SUCCESS ||
         RegOpenKeyExW(root, uninstallKey, 0, KEY_READ | KEY_WOW64_32KEY, key.Receive()) == ERROR_SUCCESS;
}
}  // namespace

std::wstring ReadInstallLocation(HKEY root) {
  ScopedKey key;
  if (!OpenUninstallKey(root, key)) return {};
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
  ScopedHandle mutex(OpenMutexW(SYNCHRONIZE, FALSE, name));
  return static_cast<bool>(mutex);
}

std::wstring SelectCommandPipe(InstallScope scope) {
  // With the scope undecided the per-user application wins over the service.
  if ((scope == InstallScope::Undecided || scope == InstallScope::User) && IsMutexPresent(userMutex))
    return userPipe;
  if ((scope == InstallScope::Undecided || scope == InstallScope::Service) && IsMutexPresent(serviceMutex))
    return servicePipe;
  return {};
}
