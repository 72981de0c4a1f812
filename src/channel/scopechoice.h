#pragma once
// Which installation this DLL belongs to, from the two install locations and
// the identities of the files involved. Pure: the file lookup is passed in.
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

// Which installation of the application this DLL belongs to.
enum class InstallScope : int32_t { Undecided = 0, User = 1, Service = 2 };

// Identifies one file on one volume; hard links share it.
struct FileIdentity {
  uint32_t volumeSerial = 0;
  uint32_t indexHigh = 0;
  uint32_t indexLow = 0;
  bool operator==(const FileIdentity&) const = default;
};

using FileIdentityLookup = std::function<std::optional<FileIdentity>(const std::wstring& path)>;

// Undecided when neither location is known, or when both are and the DLL is
// the file of its name in neither; the user location is tried first.
InstallScope ChooseInstallScope(const std::wstring& userLocation, const std::wstring& machineLocation,
                                const std::wstring& dllPath, const FileIdentityLookup& identityOf);

// The part of the path after its last backslash or slash.
std::wstring FileNameOf(const std::wstring& path);
