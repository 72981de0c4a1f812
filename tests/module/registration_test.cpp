// DllInstall as installers drive it: the ten values under the chosen root,
// the staged "_new.dll" name, failures, and Wine's own regsvr32.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/childprocess.h"
#include "support/dllundertest.h"
#include "support/importhook.h"
#include "support/testfiles.h"

namespace {
const std::wstring classes = L"Software\\Classes\\";

struct Scope {
  HKEY root;
  unsigned menuIndex, iconIndex;
  std::wstring displayName;
};
const Scope userScope{HKEY_CURRENT_USER, 0, 1, L"Tamvera Sync 2.6.0"};
const Scope machineScope{HKEY_LOCAL_MACHINE, 5, 6, L"Tamvera Sync Service 2.6.0"};

std::wstring ClassText(unsigned index) {
  wchar_t text[40];
  swprintf(text, 40, L"{581FFA%02X-FC33-0000-0602-95003A5CDE89}", index);
  return text;
}
std::wstring ClassKey(unsigned index) { return classes + L"CLSID\\" + ClassText(index); }
std::wstring HandlerKey(const wchar_t* fileClass, const std::wstring& displayName) {
  return classes + fileClass + L"\\shellex\\ContextMenuHandlers\\" + displayName;
}

// Class keys in this process's own view; the handler keys both
// architectures share in the 64-bit one.
REGSAM ViewOf(const std::wstring& key) { return key.starts_with(classes + L"CLSID\\") ? 0 : KEY_WOW64_64KEY; }

std::wstring ReadString(HKEY root, const std::wstring& key, const wchar_t* name) {
  wchar_t data[1024] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_QUERY_VALUE | ViewOf(key), &opened) != ERROR_SUCCESS) return data;
  RegGetValueW(opened, nullptr, name, RRF_RT_REG_SZ, nullptr, data, &size);
  RegCloseKey(opened);
  return data;
}

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ | ViewOf(key), &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

// Removes whatever a registration of either scope left, also after a failed test.
struct RegistryCleanup {
  ~RegistryCleanup() {
    for (const Scope* s : {&userScope, &machineScope}) {
      for (unsigned index : {s->menuIndex, s->iconIndex}) RegDeleteTreeW(s->root, ClassKey(index).c_str());
      for (const wchar_t* fileClass : {L"*", L"lnkfile", L"Directory"})
        RegDeleteKeyExW(s->root, HandlerKey(fileClass, s->displayName).c_str(), KEY_WOW64_64KEY, 0);
      HKEY classesKey = nullptr;
      if (RegOpenKeyExW(s->root, classes.c_str(), 0, KEY_ALL_ACCESS | KEY_WOW64_64KEY, &classesKey) == ERROR_SUCCESS) {
        RegDeleteTreeW(classesKey, L"Tamvera Sync");
        RegCloseKey(classesKey);
      }
    }
  }
};

// The ten values of the scope naming the DLL path, or without a path none of their keys.
void ExpectValues(const Scope& s, const std::wstring& dllPath) {
  const auto expect = [&](const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    if (!dllPath.empty()) {
      EXPECT_EQ(ReadString(s.root, key, name), value) << Utf8(key);
    } else {
      EXPECT_FALSE(KeyExists(s.root, key)) << Utf8(key);
    }
  };
  for (unsigned index : {s.menuIndex, s.iconIndex}) {
    expect(ClassKey(index), nullptr, s.displayName);
    if (dllPath.empty()) continue;
    expect(ClassKey(index) + L"\\InprocServer32", nullptr, dllPath);
    expect(ClassKey(index) + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
  }
  for (const wchar_t* fileClass : {L"*", L"lnkfile", L"Directory"})
    expect(HandlerKey(fileClass, s.displayName), nullptr, ClassText(s.menuIndex));
  expect(classes + L"Tamvera Sync\\shellex\\IconHandler", nullptr, ClassText(s.iconIndex));
}

// A copy of the built DLL under the name, loaded afresh: the root that
// DllInstall chooses stays for the life of the loaded DLL.
struct LoadedCopy {
  explicit LoadedCopy(const wchar_t* name) {
    if (CopyFileW(DllUnderTest::Path().c_str(), (folder / name).c_str(), FALSE)) module = LoadLibraryW((folder / name).c_str());
  }
  ~LoadedCopy() {
    if (module) FreeLibrary(module);
  }
  HRESULT Install(BOOL install, const wchar_t* commandLine) const {
    using Fn = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, "DllInstall")))(install, commandLine);
  }
  RegistryCleanup cleanup;
  TempFolder folder;
  HMODULE module = nullptr;
};

struct InstallCase {
  const wchar_t* commandLine;
  const Scope* scope;
  const wchar_t *fileName, *registeredName;
};
class InstallScopes : public ::testing::TestWithParam<InstallCase> {};

TEST_P(InstallScopes, WriteTheTenValuesUnderTheChosenRootOnlyAndRemoveThem) {
  const InstallCase& c = GetParam();
  LoadedCopy dll(c.fileName);
  ASSERT_NE(dll.module, nullptr);
  ScopedRegistryKey otherVersion(c.scope->root, HandlerKey(L"*", L"Tamvera Sync 2.5.0"));
  ASSERT_TRUE(otherVersion.SetString(nullptr, L"{older}"));
  ASSERT_EQ(dll.Install(TRUE, c.commandLine), S_OK);
  ASSERT_EQ(dll.Install(TRUE, c.commandLine), S_OK) << "registering again changes nothing";
  ExpectValues(*c.scope, dll.folder / c.registeredName);
  const HKEY otherRoot = c.scope->root == HKEY_CURRENT_USER ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
  ExpectValues(Scope{otherRoot, c.scope->menuIndex, c.scope->iconIndex, c.scope->displayName}, L"");
  ASSERT_EQ(dll.Install(FALSE, c.commandLine), S_OK);
  ExpectValues(*c.scope, L"");
  EXPECT_TRUE(KeyExists(c.scope->root, classes + L"Tamvera Sync\\shellex")) << "the file type stays";
  EXPECT_EQ(ReadString(c.scope->root, HandlerKey(L"*", L"Tamvera Sync 2.5.0"), nullptr), L"{older}");
}

INSTANTIATE_TEST_SUITE_P(CommandLines, InstallScopes, ::testing::Values(
    InstallCase{L"S", &machineScope, L"SyncShellContextMenu.dll", L"SyncShellContextMenu.dll"},
    InstallCase{L"", &userScope, L"SyncShellContextMenu_new.dll", L"SyncShellContextMenu.dll"},
    InstallCase{L"s", &userScope, L"SyncShellContextMenu_NEW.dll", L"SyncShellContextMenu_NEW.dll"},
    InstallCase{L"S ", &userScope, L"SyncShellContextMenu.dll", L"SyncShellContextMenu.dll"},
    InstallCase{nullptr, &userScope, L"a_new.dll", L"a.dll"}));

int notifications = 0, createCalls = 0, failingCreateCall = 0;

void WINAPI CountingChangeNotify(LONG eventId, UINT flags, LPCVOID, LPCVOID) {
  if (eventId == SHCNE_ASSOCCHANGED && flags == SHCNF_IDLIST) ++notifications;
}
LSTATUS WINAPI FailingCreateKey(HKEY root, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                                REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition) {
  if (++createCalls == failingCreateCall) return ERROR_ACCESS_DENIED;
  return RegCreateKeyExW(root, subKey, reserved, keyClass, options, access, security, key, disposition);
}

TEST(Registration, FailedKeyCreationFailsWithoutNotification) {
  LoadedCopy dll(L"SyncShellContextMenu.dll");
  ImportHook notify(dll.module, "shell32.dll", "SHChangeNotify", reinterpret_cast<void*>(&CountingChangeNotify));
  ImportHook create(dll.module, "advapi32.dll", "RegCreateKeyExW", reinterpret_cast<void*>(&FailingCreateKey));
  ASSERT_TRUE(notify.Installed() && create.Installed());
  failingCreateCall = 4;  // the all-files handler, after the menu class keys
  EXPECT_EQ(dll.Install(TRUE, L""), E_FAIL);
  EXPECT_EQ(notifications, 0);
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, HandlerKey(L"*", userScope.displayName)));
  failingCreateCall = 0;
  EXPECT_EQ(dll.Install(TRUE, L""), S_OK);
  EXPECT_EQ(notifications, 1);
  EXPECT_EQ(dll.Install(FALSE, L""), S_OK);
  EXPECT_EQ(notifications, 2);
}

// COM activation from the machine-wide registration: tests/endtoend.
TEST(Registration, ThroughRegsvr32ForEachScope) {
  RegistryCleanup cleanup;
  for (const auto& [options, scope] : {std::pair{L"/i", &userScope}, std::pair{L"/i:S", &machineScope}}) {
    const std::wstring arguments = std::wstring(L" /s /n ") + options + L" \"" + DllUnderTest::Path() + L"\"";
    wchar_t system[MAX_PATH] = {};
    GetSystemDirectoryW(system, MAX_PATH);
    EXPECT_EQ(ChildProcess(L"\"" + std::wstring(system) + L"\\regsvr32.exe\"" + arguments).Wait(60000), 0u);
    ExpectValues(*scope, DllUnderTest::Path());
    EXPECT_EQ(ChildProcess(L"\"" + std::wstring(system) + L"\\regsvr32.exe\" /u" + arguments).Wait(60000), 0u);
    ExpectValues(*scope, L"");
  }
}
}  // namespace
