// DllInstall as installers drive it: the ten values under the chosen root,
// the staged "_new.dll" name, failures, and Wine's own regsvr32 followed by
// COM activation of the machine-wide classes.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "module/registration.h"
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

std::wstring ClassKey(unsigned index) {
  wchar_t text[80];
  swprintf(text, 80, L"Software\\Classes\\CLSID\\{581FFA%02X-FC33-0000-0602-95003A5CDE89}", index);
  return text;
}

std::wstring HandlerKey(const wchar_t* fileClass, const std::wstring& displayName) {
  return classes + fileClass + L"\\shellex\\ContextMenuHandlers\\" + displayName;
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const wchar_t* name) {
  wchar_t data[1024] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS) return {};
  return std::wstring(data);
}

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

// Deletes afterwards every key a registration of either scope may create
// (parents included) that did not exist before.
class RegistryRestorer {
 public:
  RegistryRestorer() {
    for (const Scope* scope : {&userScope, &machineScope}) {
      std::vector<std::wstring> keys{classes + L"Tamvera Sync", classes + L"Tamvera Sync\\shellex",
                                     ClassKey(scope->menuIndex), ClassKey(scope->iconIndex)};
      for (const wchar_t* fileClass : {L"*", L"lnkfile", L"Directory"}) {
        const std::wstring base = classes + fileClass;
        keys.insert(keys.end(), {base, base + L"\\shellex", base + L"\\shellex\\ContextMenuHandlers"});
      }
      for (const std::wstring& key : keys) {
        if (!KeyExists(scope->root, key)) created.emplace_back(scope->root, key);
      }
    }
    std::sort(created.begin(), created.end(), [](auto& a, auto& b) { return a.second.size() > b.second.size(); });
  }
  ~RegistryRestorer() {
    for (const auto& [root, key] : created) RegDeleteTreeW(root, key.c_str()), RegDeleteKeyW(root, key.c_str());
  }

 private:
  std::vector<std::pair<HKEY, std::wstring>> created;
};

void ExpectRegistered(const Scope& scope, const std::wstring& dllPath) {
  const std::wstring menuId = ClassKey(scope.menuIndex).substr(23);
  for (unsigned index : {scope.menuIndex, scope.iconIndex}) {
    EXPECT_EQ(ReadString(scope.root, ClassKey(index), nullptr), scope.displayName) << index;
    EXPECT_EQ(ReadString(scope.root, ClassKey(index) + L"\\InprocServer32", nullptr), dllPath) << index;
    EXPECT_EQ(ReadString(scope.root, ClassKey(index) + L"\\InprocServer32", L"ThreadingModel"), L"Apartment");
  }
  for (const wchar_t* fileClass : {L"*", L"lnkfile", L"Directory"})
    EXPECT_EQ(ReadString(scope.root, HandlerKey(fileClass, scope.displayName), nullptr), menuId) << fileClass;
  EXPECT_EQ(ReadString(scope.root, classes + L"Tamvera Sync\\shellex\\IconHandler", nullptr),
            ClassKey(scope.iconIndex).substr(23));
}

void ExpectUnregistered(const Scope& scope) {
  for (const wchar_t* fileClass : {L"*", L"lnkfile", L"Directory"})
    EXPECT_FALSE(KeyExists(scope.root, HandlerKey(fileClass, scope.displayName))) << fileClass;
  EXPECT_FALSE(KeyExists(scope.root, ClassKey(scope.menuIndex)));
  EXPECT_FALSE(KeyExists(scope.root, ClassKey(scope.iconIndex)));
  EXPECT_FALSE(KeyExists(scope.root, classes + L"Tamvera Sync\\shellex\\IconHandler"));
}

// Each test loads the DLL afresh: the root that DllInstall chooses stays
// for the life of the loaded DLL.
class Registration : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetModuleHandleW(DllUnderTest::Path().c_str()), nullptr) << "DLL still loaded";
    dll.emplace();
  }

  RegistryRestorer restorer;
  std::optional<DllUnderTest> dll;
};

struct InstallCase {
  const wchar_t* commandLine;
  const Scope* scope;
  const Scope* otherScope;
};

class InstallScopes : public Registration, public ::testing::WithParamInterface<InstallCase> {};

TEST_P(InstallScopes, WritesTheTenValuesUnderTheChosenRootOnlyAndRemovesThem) {
  const InstallCase& param = GetParam();
  ASSERT_EQ(dll->Install(TRUE, param.commandLine), S_OK);
  ASSERT_EQ(dll->Install(TRUE, param.commandLine), S_OK) << "registering again changes nothing";
  ExpectRegistered(*param.scope, DllUnderTest::Path());
  EXPECT_FALSE(KeyExists(param.otherScope->root, HandlerKey(L"*", param.scope->displayName)));
  EXPECT_FALSE(KeyExists(param.otherScope->root, ClassKey(param.scope->menuIndex)));

  ASSERT_EQ(dll->Install(FALSE, param.commandLine), S_OK);
  ExpectUnregistered(*param.scope);
  EXPECT_TRUE(KeyExists(param.scope->root, classes + L"Tamvera Sync\\shellex")) << "the file type stays";
}

INSTANTIATE_TEST_SUITE_P(CommandLines, InstallScopes,
                         ::testing::Values(InstallCase{L"S", &machineScope, &userScope},
                                           InstallCase{L"", &userScope, &machineScope},
                                           InstallCase{L"s", &userScope, &machineScope},
                                           InstallCase{L"S ", &userScope, &machineScope},
                                           InstallCase{nullptr, &userScope, &machineScope}));

int notifications = 0;
int createCalls = 0;
int failingCreateCall = 0;

void WINAPI CountingChangeNotify(LONG eventId, UINT flags, LPCVOID, LPCVOID) {
  if (eventId == SHCNE_ASSOCCHANGED && flags == SHCNF_IDLIST) ++notifications;
}

LSTATUS WINAPI FailingCreateKey(HKEY root, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                                REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY key, LPDWORD disposition) {
  if (++createCalls == failingCreateCall) return ERROR_ACCESS_DENIED;
  return RegCreateKeyExW(root, subKey, reserved, keyClass, options, access, security, key, disposition);
}

TEST_F(Registration, FailedKeyCreationFailsWithoutNotificationAndLeavesOtherVersions) {
  ScopedRegistryKey olderHandler(HKEY_CURRENT_USER, HandlerKey(L"*", L"Tamvera Sync 2.5.0"));
  ASSERT_TRUE(olderHandler.SetString(nullptr, L"{older}"));
  ImportHook notify(dll->Module(), "shell32.dll", "SHChangeNotify", reinterpret_cast<void*>(&CountingChangeNotify));
  ImportHook create(dll->Module(), "advapi32.dll", "RegCreateKeyExW", reinterpret_cast<void*>(&FailingCreateKey));
  ASSERT_TRUE(notify.Installed() && create.Installed());

  failingCreateCall = 4;  // the all-files handler, after the menu class keys
  EXPECT_EQ(dll->Install(TRUE, L""), E_FAIL);
  EXPECT_EQ(notifications, 0);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, ClassKey(0) + L"\\InprocServer32", L"ThreadingModel"), L"Apartment")
      << "entries before the failure stay";
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, HandlerKey(L"*", userScope.displayName)));

  failingCreateCall = 0;
  EXPECT_EQ(dll->Install(TRUE, L""), S_OK);
  EXPECT_EQ(notifications, 1);
  EXPECT_EQ(dll->Install(FALSE, L""), S_OK);
  EXPECT_EQ(dll->Install(FALSE, L""), S_OK) << "removing what is not there succeeds";
  EXPECT_EQ(notifications, 3);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, HandlerKey(L"*", L"Tamvera Sync 2.5.0"), nullptr), L"{older}");
}

using NamePair = std::pair<const wchar_t*, const wchar_t*>;  // file name, registered name
class StagedUpdate : public Registration, public ::testing::WithParamInterface<NamePair> {};

TEST_P(StagedUpdate, IsRegisteredUnderTheNameItWillHave) {
  TempFolder folder;
  const std::wstring staged = folder / GetParam().first;
  ASSERT_TRUE(CopyFileW(DllUnderTest::Path().c_str(), staged.c_str(), FALSE));
  HMODULE module = LoadLibraryW(staged.c_str());
  ASSERT_NE(module, nullptr);
  using InstallFunction = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
  auto install = reinterpret_cast<InstallFunction>(reinterpret_cast<void*>(GetProcAddress(module, "DllInstall")));
  EXPECT_EQ(install(TRUE, L""), S_OK);
  ExpectRegistered(userScope, folder / GetParam().second);
  EXPECT_EQ(install(FALSE, L""), S_OK);
  FreeLibrary(module);
}

INSTANTIATE_TEST_SUITE_P(Names, StagedUpdate,
                         ::testing::Values(NamePair{L"SyncShellContextMenu_new.dll", L"SyncShellContextMenu.dll"},
                                           NamePair{L"SyncShellContextMenu_NEW.dll", L"SyncShellContextMenu_NEW.dll"}));

TEST(RegisteredPath, NeedsANameBeforeTheStagedEnding) {
  EXPECT_EQ(RegisteredPath(L"a_new.dll"), L"a.dll");
  EXPECT_EQ(RegisteredPath(L"_new.dll"), L"_new.dll");
}

DWORD RunRegsvr32(const std::wstring& options) {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  ChildProcess child(L"\"" + std::wstring(system) + L"\\regsvr32.exe\" /s " + options + L" \"" +
                     DllUnderTest::Path() + L"\"");
  return child.Wait(60000);
}

TEST(RegistrationThroughRegsvr32, RegistersBothScopesAndTheMachineClassesActivate) {
  RegistryRestorer restorer;
  ASSERT_EQ(RunRegsvr32(L"/n /i"), 0u);
  ExpectRegistered(userScope, DllUnderTest::Path());
  ASSERT_EQ(RunRegsvr32(L"/n /i:S"), 0u);
  ExpectRegistered(machineScope, DllUnderTest::Path());

  ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
  IContextMenu* menu = nullptr;
  ASSERT_EQ(CoCreateInstance(TestClassId(5), nullptr, CLSCTX_INPROC_SERVER, IID_IContextMenu,
                             reinterpret_cast<void**>(&menu)), S_OK);
  IShellExtInit* init = nullptr;
  EXPECT_EQ(menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
  if (init) init->Release();
  menu->Release();
  IExtractIconW* icon = nullptr;
  ASSERT_EQ(CoCreateInstance(TestClassId(6), nullptr, CLSCTX_INPROC_SERVER, IID_IExtractIconW,
                             reinterpret_cast<void**>(&icon)), S_OK);
  IPersistFile* file = nullptr;
  EXPECT_EQ(icon->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
  if (file) file->Release();
  icon->Release();
  CoFreeUnusedLibrariesEx(0, 0);
  CoUninitialize();
  EXPECT_EQ(GetModuleHandleW(DllUnderTest::Path().c_str()), nullptr) << "COM lets the unused DLL go";

  EXPECT_EQ(RunRegsvr32(L"/u /n /i:S"), 0u);
  ExpectUnregistered(machineScope);
  EXPECT_EQ(RunRegsvr32(L"/u /n /i"), 0u);
  ExpectUnregistered(userScope);
}

}  // namespace
