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

#include "registrykeys.h"

namespace {
// Class keys in this process's own view; the handler keys both
// architectures share in the 64-bit one.
REGSAM ViewOf(const std::wstring& key) { return key.starts_with(classes + L"CLSID\\") ? 0 : KEY_WOW64_64KEY; }

// The ten values of the scope naming the DLL path, or without a path none of their keys.
void ExpectValues(const Scope& s, const std::wstring& dllPath) {
  const auto expect = [&](const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    if (!dllPath.empty()) {
      EXPECT_EQ(ReadString(s.root, key, ViewOf(key), name), value) << Utf8(key);
    } else {
      EXPECT_FALSE(KeyExists(s.root, key, ViewOf(key))) << Utf8(key);
    }
  };
  for (unsigned index : {s.menuIndex, s.iconIndex}) {
    expect(ClassKey(index), nullptr, s.displayName);
    if (dllPath.empty()) continue;
    expect(ClassKey(index) + L"\\InprocServer32", nullptr, dllPath);
    expect(ClassKey(index) + L"\\InprocServer32", L"ThreadingModel", L"Apartment");
  }
  for (const auto& [key, named] : SharedKeys(s)) expect(key, nullptr, named);
}

// A copy of the built DLL under the name, loaded afresh: the root that
// DllInstall chooses stays for the life of the loaded DLL.
struct LoadedCopy {
  explicit LoadedCopy(const wchar_t* name) {
    if (CopyFileW(DllUnderTest::Path().c_str(), (folder / name).c_str(), FALSE))
      module = LoadLibraryW((folder / name).c_str());
  }
  ~LoadedCopy() {
    if (module) FreeLibrary(module);
  }
  HRESULT Install(BOOL install, const wchar_t* commandLine) const {
    using Fn = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, "DllInstall")))(install, commandLine);
  }
  RegistrationCleanup cleanup;
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
  ExpectValues(Scope{otherRoot, c.scope->menuIndex, c.scope->iconIndex, c.scope->displayName, nullptr}, L"");
  ASSERT_EQ(dll.Install(FALSE, c.commandLine), S_OK);
  ExpectValues(*c.scope, L"");
  EXPECT_TRUE(KeyExists(c.scope->root, classes + L"Tamvera Sync\\shellex", KEY_WOW64_64KEY)) << "the file type stays";
  EXPECT_EQ(ReadString(c.scope->root, HandlerKey(L"*", L"Tamvera Sync 2.5.0"), KEY_WOW64_64KEY), L"{older}");
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
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, HandlerKey(L"*", userScope.displayName), KEY_WOW64_64KEY));
  failingCreateCall = 0;
  EXPECT_EQ(dll.Install(TRUE, L""), S_OK);
  EXPECT_EQ(notifications, 1);
  EXPECT_EQ(dll.Install(FALSE, L""), S_OK);
  EXPECT_EQ(notifications, 2);
}

// COM activation from the machine-wide registration: tests/endtoend.
TEST(Registration, ThroughRegsvr32ForEachScope) {
  RegistrationCleanup cleanup;
  for (const Scope* scope : {&userScope, &machineScope}) {
    const std::wstring arguments =
        std::wstring(L" /s /n ") + scope->regsvr32Option + L" \"" + DllUnderTest::Path() + L"\"";
    EXPECT_EQ(ChildProcess(L"\"" + SystemRegsvr32() + L"\"" + arguments).Wait(60000), 0u);
    ExpectValues(*scope, DllUnderTest::Path());
    EXPECT_EQ(ChildProcess(L"\"" + SystemRegsvr32() + L"\" /u" + arguments).Wait(60000), 0u);
    ExpectValues(*scope, L"");
  }
}
}  // namespace
