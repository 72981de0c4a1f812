#pragma once
// The module as its COM objects see it: this DLL's handle and path, and the
// count of live objects that keeps it loaded. The ground floor: it includes
// no other folder of the project.
#include <windows.h>

#include <atomic>
#include <string>

extern std::wstring modulePath;
extern std::atomic<LONG> moduleObjectCount;

// This DLL (or the program the code is linked into), from the linker's
// __ImageBase: right from the first instruction, without DllMain's help.
HMODULE ModuleHandle();

// Fills modulePath from ModuleHandle() while it is still empty.
void FillModulePath();

// Called after every change of the object count (the log watches its
// switch then); set once by the module before the first object exists.
using ObjectCountObserver = void (*)();
void SetObjectCountObserver(ObjectCountObserver observer);

// Raise or lower the object count.
void IncrementModuleObjectCount();
void DecrementModuleObjectCount();
