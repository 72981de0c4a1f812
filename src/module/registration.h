#pragma once
#include <windows.h>

// DllInstall: "S" selects the machine-wide root, anything else the current
// user's; then registers or unregisters.
HRESULT InstallExtension(bool install, const wchar_t* commandLine);
