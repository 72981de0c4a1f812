#pragma once
#include <windows.h>

#include <string>

// Whether the process serving the connected command pipe may receive the
// user's commands: for the per-user pipe one in the caller's session, and,
// when the pipe's installation names an install location, the process of
// that location's application executable (the same file). Logs one line
// saying why not.
bool IsExpectedServer(HANDLE pipe, const std::wstring& pipeName);
