#pragma once
// Item arrays made by the shell itself, as Explorer hands them to commands.
#include <windows.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <string>
#include <vector>

// The paths in order, each parsed by the shell; a path that does not exist
// becomes a simple ID list of its name. Null when the shell refuses.
Microsoft::WRL::ComPtr<IShellItemArray> ShellItemArrayOf(const std::vector<std::wstring>& paths);
