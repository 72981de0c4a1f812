#include <windows.h>

#include "log/extensionlog.h"
#include "module/modulestate.h"

// Does as little as it can under the loader lock.
extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  try {
    if (reason == DLL_PROCESS_ATTACH) {
      moduleInstance = instance;
    } else if (reason == DLL_PROCESS_DETACH) {
      DestroyExtensionLog();
    }
  } catch (...) {
  }
  return TRUE;
}
