#pragma once

// The extension's diagnostics log. Every function is safe to call at any
// time from any thread; LogMessage drops the line while logging is off or no
// log object exists.
void CreateExtensionLog();
void DestroyExtensionLog();
// For process detach, under the loader lock: waits for nothing. The end line
// is written only when no writer of any process holds the log at that
// moment; otherwise the file is just closed.
void DestroyExtensionLogAtDetach();
bool RefreshLogSwitch();
void LogMessage(const wchar_t* format, ...);
