#include "localization/resourcedata.h"

namespace {
// Any address inside this module's image identifies the module.
const char moduleMarker = 0;
}  // namespace

ResourceData::ResourceData(HMODULE module) {
  if (!module) return;
  HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(languageArchiveResourceId), languageArchiveResourceType);
  if (!resource) return;
  const DWORD resourceSize = SizeofResource(module, resource);
  loaded = LoadResource(module, resource);
  if (!loaded) return;
  data = static_cast<const unsigned char*>(LockResource(loaded));
  if (!data) {
    Release();
    return;
  }
  size = resourceSize;
  status = Present;
}

ResourceData::~ResourceData() { Release(); }

void ResourceData::Release() {
  // Resources live in the mapped image; FreeResource is kept for symmetry
  // with LoadResource and costs nothing on current systems.
  if (loaded) FreeResource(loaded);
  loaded = nullptr;
  data = nullptr;
  size = 0;
}

HMODULE ResourceData::ModuleOfThisCode() {
  HMODULE module = nullptr;
  if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          reinterpret_cast<LPCWSTR>(&moduleMarker), &module)) {
    return nullptr;
  }
  return module;
}
