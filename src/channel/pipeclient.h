#pragma once
#include <windows.h>

#include <string>

#include "channel/commandbatch.h"
#include "channel/installscope.h"

// "InstallLocation" of the application's uninstall key under the root;
// empty when missing, not REG_SZ, or 260 characters or longer.
std::wstring ReadInstallLocation(HKEY root);
bool IsMutexPresent(const wchar_t* name);
// True for the service's pipe, false for the per-user one.
bool IsServicePipe(const std::wstring& pipeName);
// Pipe of a running application for the scope, or empty.
std::wstring SelectCommandPipe(InstallScope scope);
// Moves the batch to a new detached delivery thread and returns at once.
void StartDelivery(std::wstring pipeName, CommandBatch batch);
