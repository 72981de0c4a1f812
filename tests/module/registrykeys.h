#pragma once
// The keys that DllInstall writes for either scope, read back in a chosen
// registry view; shared by the registration tests and tests/endtoend.
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "support/dllundertest.h"

inline const std::wstring classes = L"Software\\Classes\\";
inline const std::wstring iconHandlerKey = classes + L"Tamvera Sync\\shellex\\IconHandler";
inline constexpr const wchar_t* handledFileClasses[] = {L"*", L"lnkfile", L"Directory"};

struct Scope {
  HKEY root;
  unsigned menuIndex, iconIndex;
  const wchar_t *displayName, *regsvr32Option;
};
inline const Scope userScope{HKEY_CURRENT_USER, 0, 1, L"Tamvera Sync 2.6.0", L"/i"};
inline const Scope machineScope{HKEY_LOCAL_MACHINE, 5, 6, L"Tamvera Sync Service 2.6.0", L"/i:S"};

inline std::wstring ClassText(unsigned index) {
  wchar_t text[40] = {};
  StringFromGUID2(TestClassId(index), text, 40);
  return text;
}
inline std::wstring ClassKey(unsigned index) { return classes + L"CLSID\\" + ClassText(index); }
inline std::wstring HandlerKey(const wchar_t* fileClass, const std::wstring& displayName) {
  return classes + fileClass + L"\\shellex\\ContextMenuHandlers\\" + displayName;
}

// The handler keys both architectures share, in the 64-bit view, and the class each names.
inline std::vector<std::pair<std::wstring, std::wstring>> SharedKeys(const Scope& s) {
  std::vector<std::pair<std::wstring, std::wstring>> keys;
  for (const wchar_t* fileClass : handledFileClasses)
    keys.emplace_back(HandlerKey(fileClass, s.displayName), ClassText(s.menuIndex));
  keys.emplace_back(iconHandlerKey, ClassText(s.iconIndex));
  return keys;
}

// A string value of the key in the view, or "-" when the key is absent.
inline std::wstring ReadString(HKEY root, const std::wstring& key, REGSAM view, const wchar_t* name = nullptr) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | view, &opened) != ERROR_SUCCESS) return L"-";
  wchar_t data[1024] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  RegGetValueW(opened, nullptr, name, RRF_RT_REG_SZ, nullptr, data, &size);
  RegCloseKey(opened);
  return data;
}

inline bool KeyExists(HKEY root, const std::wstring& key, REGSAM view) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

inline void DeleteTreeInView(HKEY root, const std::wstring& parent, const std::wstring& child, REGSAM view) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, parent.c_str(), 0, KEY_ALL_ACCESS | view, &opened) != ERROR_SUCCESS) return;
  RegDeleteTreeW(opened, child.c_str());
  RegCloseKey(opened);
}

// Removes whatever a registration of either scope and architecture left, also after a failed test.
struct RegistrationCleanup {
  ~RegistrationCleanup() {
    for (const Scope* s : {&userScope, &machineScope}) {
      for (REGSAM view : {KEY_WOW64_64KEY, KEY_WOW64_32KEY})
        for (unsigned index : {s->menuIndex, s->iconIndex})
          DeleteTreeInView(s->root, classes + L"CLSID", ClassText(index), view);
      for (const wchar_t* fileClass : handledFileClasses)
        RegDeleteKeyExW(s->root, HandlerKey(fileClass, s->displayName).c_str(), KEY_WOW64_64KEY, 0);
      DeleteTreeInView(s->root, classes, L"Tamvera Sync", KEY_WOW64_64KEY);
    }
  }
};

// This architecture's regsvr32 in the system folder.
inline std::wstring SystemRegsvr32() {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  return std::wstring(system) + L"\\regsvr32.exe";
}
