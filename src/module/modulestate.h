#pragma once
#include <windows.h>

#include <atomic>
#include <string>

// Which installation of the application this DLL belongs to.
enum class InstallScope : LONG { Undecided = 0, User = 1, Service = 2 };

// Process-wide state of the COM server. Set on apartment threads; only the
// object count and the scope are also touched by delivery threads.
extern HMODULE moduleInstance;
extern std::wstring modulePath;
extern bool moduleInitialized;
extern std::atomic<LONG> moduleObjectCount;
extern HKEY registryRoot;
extern UINT gdiplusUsers;
extern ULONG_PTR gdiplusToken;
extern std::atomic<InstallScope> installScope;

// Fills modulePath from moduleInstance while it is still empty.
void FillModulePath();

// One-time work of the first DllGetClassObject of the process.
void InitializeModuleOnce();

// Raise or lower the object count, refreshing the log switch like an object.
void IncrementModuleObjectCount();
void DecrementModuleObjectCount();
