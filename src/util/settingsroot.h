#pragma once
// The root of the application's settings ("Software\Tamvera\Sync"):
// HKEY_CURRENT_USER in every host; a machine-wide registration in the same
// process moves it to HKEY_LOCAL_MACHINE for the rest of the process.
#include <windows.h>

HKEY SettingsRoot();
void UseMachineSettings();
