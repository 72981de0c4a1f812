#pragma once
// Which installation of the application this DLL belongs to, settled once
// per process from the registry and the files on disk.
#include <atomic>
#include <optional>
#include <string>

#include "channel/scopechoice.h"

extern std::atomic<InstallScope> installScope;

// Settles installScope while it is still Undecided; once decided it stays.
void DecideInstallScopeIfUndecided();

// The file's identity (volume serial and file index); nullopt when the file
// cannot be opened or read. Case, short names and hard links do not matter.
std::optional<FileIdentity> IdentityOfFile(const std::wstring& path);
