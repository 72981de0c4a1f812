#include <windows.h>

#include "com/errorbarrier.h"
#include "log/extensionlog.h"

// Does as little as it can under the loader lock, and waits for nothing.
extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
  try {
    if (reason == DLL_PROCESS_DETACH) DestroyExtensionLogAtDetach();
  }
  CATCH_SWALLOW()
  return TRUE;
}
