#pragma once
#include <windows.h>

#include <string>
#include <string_view>

// A fresh folder under the temporary folder, removed with everything in it
// (alternate-stream files included) when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::wstring& Path() const { return path; }
  std::wstring operator/(std::wstring_view name) const { return path + L"\\" + std::wstring(name); }

 private:
  std::wstring path;
};

// Writes bytes to a file or to "file:stream"; creates or replaces it.
bool WriteBytes(const std::wstring& path, std::string_view bytes);
// Reads a whole file; empty when it cannot be read.
std::string ReadBytes(const std::wstring& path);
bool CreateFolder(const std::wstring& path);
void DeleteTree(const std::wstring& path);

// A registry key deleted with its subkeys when the object goes.
class ScopedRegistryKey {
 public:
  ScopedRegistryKey(HKEY root, std::wstring subKey);
  ~ScopedRegistryKey();
  ScopedRegistryKey(const ScopedRegistryKey&) = delete;
  ScopedRegistryKey& operator=(const ScopedRegistryKey&) = delete;

  bool SetString(const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ);
  bool SetDword(const wchar_t* name, DWORD value);
  bool SetRaw(const wchar_t* name, DWORD type, const void* data, DWORD size);

 private:
  HKEY root;
  std::wstring subKey;
};

std::string Utf8(std::wstring_view text);
std::wstring Wide(std::string_view utf8);
