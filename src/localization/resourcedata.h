#pragma once
// The language archive in the module's own resources.
#include <windows.h>

#include "localization/datacontainer.h"

inline constexpr WORD languageArchiveResourceId = 111;
inline constexpr wchar_t languageArchiveResourceType[] = L"BIN";

class ResourceData : public DataContainer {
 public:
  enum : int { Present = 0, Missing = 2 };

  // Resource 111 of type "BIN" in the given module; by default the module
  // that holds this code (the DLL inside a host, not the host's program).
  explicit ResourceData(HMODULE module = ModuleOfThisCode());
  ~ResourceData() override;
  ResourceData(const ResourceData&) = delete;
  ResourceData& operator=(const ResourceData&) = delete;

  const unsigned char* Data() const override { return data; }
  size_t Size() const override { return size; }
  int Status() const override { return status; }
  void Release() override;

  static HMODULE ModuleOfThisCode();

 private:
  HGLOBAL loaded = nullptr;
  const unsigned char* data = nullptr;
  size_t size = 0;
  int status = Missing;
};
