#include "channel/installscope.h"

#include <windows.h>

#include "channel/pipeclient.h"
#include "channel/scopechoice.h"
#include "com/modulereference.h"
#include "util/uniquehandle.h"

std::atomic<InstallScope> installScope{InstallScope::Undecided};

std::optional<FileIdentity> IdentityOfFile(const std::wstring& path) {
  // No access rights: the identity is readable even while the file is in use.
  const UniqueFile file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING, 0, nullptr));
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file.Valid() || !GetFileInformationByHandle(file.Get(), &info)) return std::nullopt;
  return FileIdentity{info.dwVolumeSerialNumber, info.nFileIndexHigh, info.nFileIndexLow};
}

void DecideInstallScopeIfUndecided() {
  if (installScope.load() != InstallScope::Undecided) return;
  const std::wstring userLocation = ReadInstallLocation(HKEY_CURRENT_USER);
  const std::wstring machineLocation = ReadInstallLocation(HKEY_LOCAL_MACHINE);
  const InstallScope scope = ChooseInstallScope(userLocation, machineLocation, modulePath, &IdentityOfFile);
  if (scope != InstallScope::Undecided) installScope.store(scope);
}
