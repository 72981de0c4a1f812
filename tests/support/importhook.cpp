#include "support/importhook.h"

#include <cstring>

ImportHook::ImportHook(HMODULE module, const char* dllName, const char* functionName,
                       void* replacement) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const auto& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (directory.VirtualAddress == 0) return;
  for (auto* entry = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
       entry->Name != 0; ++entry) {
    if (_stricmp(reinterpret_cast<char*>(base + entry->Name), dllName) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->OriginalFirstThunk);
    auto* addresses = reinterpret_cast<IMAGE_THUNK_DATA*>(base + entry->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++addresses) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char*>(byName->Name), functionName) != 0) continue;
      slot = reinterpret_cast<void**>(&addresses->u1.Function);
      DWORD oldProtection = 0;
      VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &oldProtection);
      original = *slot;
      *slot = replacement;
      VirtualProtect(slot, sizeof(void*), oldProtection, &oldProtection);
      return;
    }
  }
}

ImportHook::~ImportHook() {
  if (!slot) return;
  DWORD oldProtection = 0;
  VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &oldProtection);
  *slot = original;
  VirtualProtect(slot, sizeof(void*), oldProtection, &oldProtection);
}
