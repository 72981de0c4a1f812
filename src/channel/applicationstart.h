#pragma once
#include <string>

// "Tamvera Sync.exe" in the folder; a trailing backslash of the folder is
// ignored.
std::wstring ApplicationExecutableIn(std::wstring folder);

// Starts the per-user application from its install location and waits for
// its presence mutex; the pipe it then serves, or empty. From an elevated
// host the application is started only through the desktop shell, so that
// it runs with the shell's unelevated token; when that fails nothing is
// started. Every refusal is one log line.
std::wstring StartApplication();
