#include "channel/scopechoice.h"

InstallScope ChooseInstallScope(const std::wstring& userLocation, const std::wstring& machineLocation,
                                const std::wstring& dllPath, const FileIdentityLookup& identityOf) {
  if (userLocation.empty()) return machineLocation.empty() ? InstallScope::Undecided : InstallScope::Service;
  if (machineLocation.empty()) return InstallScope::User;

  // Both installations exist: this DLL is whichever copy it is on disk.
  const std::optional<FileIdentity> self = identityOf(dllPath);
  if (!self) return InstallScope::Undecided;
  const std::wstring name = FileNameOf(dllPath);
  const std::pair<const std::wstring*, InstallScope> candidates[] = {
      {&userLocation, InstallScope::User}, {&machineLocation, InstallScope::Service}};
  for (const auto& [location, scope] : candidates) {
    const std::optional<FileIdentity> candidate = identityOf(*location + L"\\" + name);
    if (candidate && *candidate == *self) return scope;
  }
  return InstallScope::Undecided;
}

std::wstring FileNameOf(const std::wstring& path) {
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? path : path.substr(slash + 1);
}
