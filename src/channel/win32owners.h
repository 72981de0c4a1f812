#pragma once
// Owners for what the channel opens besides files: kernel objects that
// report failure as null (events, mutexes) and registry keys.
#include <windows.h>

#include "util/uniquehandle.h"

struct KernelObjectTraits {
  using Type = HANDLE;
  static Type Invalid() { return nullptr; }
  static void Close(Type handle) { CloseHandle(handle); }
};

struct RegistryKeyTraits {
  using Type = HKEY;
  static Type Invalid() { return nullptr; }
  static void Close(Type key) { RegCloseKey(key); }
};

using UniqueKernelObject = UniqueResource<KernelObjectTraits>;
using UniqueRegistryKey = UniqueResource<RegistryKeyTraits>;
