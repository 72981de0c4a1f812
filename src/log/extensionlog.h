#pragma once

// The extension's diagnostics log. Every function is safe to call at any
// time from any thread; LogMessage drops the line while logging is off or no
// log object exists.
void CreateExtensionLog();
void DestroyExtensionLog();
bool RefreshLogSwitch();
void LogMessage(const wchar_t* format, ...);
