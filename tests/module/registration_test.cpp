// DllInstall as an installer drives it: the ten values under the chosen
// root, the staged "_new.dll" name, repeatable registration, failures, and
// Wine's own regsvr32 followed by COM activation.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
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
  unsigned menuIndex;
  unsigned iconIndex;
  std::wstring displayName;
};

const Scope userScope{HKEY_CURRENT_USER, 0, 1, L"Tamvera Sync 2.6.0"};
const Scope machineScope{HKEY_LOCAL_MACHINE, 5, 6, L"Tamvera Sync Service 2.6.0"};

std::wstring ClassIdText(unsigned index) {
  wchar_t text[64];
  swprintf(text, 64, L"{581FFA%02X-FC33-0000-0602-95003A5CDE89}", index);
  return text;
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const wchar_t* name) {
  wchar_t data[1024] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  DWORD type = 0;
  if (RegGetValueW(root, key.c_str(), name, RRF_RT_ANY, &type, data, &size) != ERROR_SUCCESS) return std::nullopt;
  if (type != REG_SZ) return L"<type " + std::to_wstring(type) + L">";
  return std::wstring(data);
}

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

std::wstring HandlerKey(const wchar_t* fileClass, const std::wstring& displayName) {
  return classes + fileClass + L"\\shellex\\ContextMenuHandlers\\" + displayName;
}

// Every key a registration of either scope may create, with its parents.
std::vector<std::wstring> TouchedKeys(const Scope& scope) {
  std::vector<std::wstring> keys;
  for (const wchar_t* fileClass : {L"*", L"lnkfile", L"Directory"}) {
    const std::wstring base = classes + fileClass;
    keys.insert(keys.end(), {base, base + L"\\shellex", base + L"\\shellex\\ContextMenuHandlers",
                             HandlerKey(fileClass, scope.displayName),
                             HandlerKey(fileClass, L"Tamvera Sync 2.5.0")});
  }
  keys.insert(keys.end(), {classes + L"Tamvera Sync", classes + L"Tamvera Sync\\shellex",
                           classes + L"Tamvera Sync\\shellex\\IconHandler"});
  for (unsigned index : {scope.menuIndex, scope.iconIndex}) {
    keys.push_back(classes + L"CLSID\\" + ClassIdText(index));
    keys.push_back(classes + L"CLSID\\" + ClassIdText(index) + L"\\InprocServer32");
  }
  return keys;
}

// Removes afterwards every key of both scopes that did not exist before.
class RegistryRestorer {
 public:
  RegistryRestorer() {
    for (const Scope* scope : {&userScope, &machineScope}) {
      for (const std::wstring& key : TouchedKeys(*scope)) {
        if (!KeyExists(scope->root, key)) created.emplace_back(scope->root, key);
      }
    }
    std::sort(created.begin(), created.end(),
              [](const auto& a, const auto& b) { return a.second.size() > b.second.size(); });
  }
  ~RegistryRestorer() {
    for (const auto& [root, key] : created) RegDeleteTreeW(root, key.c_str()), RegDeleteKeyW(root, key.c_str());
  }

 private:
  std::vector<std::pair<HKEY, std::wstring>> created;
};

void ExpectRegistered(const Scope& scope, const std::wstring& dllPath) {
  const std::wstring menuId = ClassIdText(scope.menuIndex);
  const std::wstring iconId = ClassIdText(scope.iconIndex);
  const HKEY root = scope.root;
  for (const std::wstring& id : {menuId, iconId}) {
    const std::wstring classKey = classes + L"CLSID\\" + id;
    EXPECT_EQ(ReadString(root, classKey, nullptr), scope.displayName) << id;
    EXPECT_EQ(ReadString(root, classKey + L"\\InprocServer32", nullptr), dllPath) << id;
    EXPECT_EQ(ReadString(root, classKey + L"\\InprocServer32", L"ThreadingModel"), L"Apartment") << id;
  }
  for (const wchar_t* fileClass : {L"*", L"lnkfile", L"Directory"})
    EXPECT_EQ(ReadString(root, HandlerKey(fileClass, scope.displayName), nullptr), menuId) << fileClass;
  EXPECT_EQ(ReadString(root, classes + L"Tamvera Sync\\shellex\\IconHandler", nullptr), iconId);
}

void ExpectUnregistered(const Scope& scope) {
  for (const wchar_t* fileClass : {L"*", L"lnkfile", L"Directory"})
    EXPECT_FALSE(KeyExists(scope.root, HandlerKey(fileClass, scope.displayName))) << fileClass;
  for (unsigned index : {scope.menuIndex, scope.iconIndex})
    EXPECT_FALSE(KeyExists(scope.root, classes + L"CLSID\\" + ClassIdText(index))) << index;
  EXPECT_FALSE(KeyExists(scope.root, classes + L"Tamvera Sync\\shellex\\IconHandler"));
}

// All values of the keys a scope writes, for comparing registrations.
std::map<std::wstring, std::wstring> Snapshot(const Scope& scope) {
  std::map<std::wstring, std::wstring> values;
  for (const std::wstring& key : TouchedKeys(scope)) {
    HKEY opened = nullptr;
    if (RegOpenKeyExW(scope.root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) continue;
    for (DWORD index = 0;; ++index) {
      wchar_t name[256];
      DWORD nameLength = 256;
      BYTE data[2048];
      DWORD size = sizeof data;
      if (RegEnumValueW(opened, index, name, &nameLength, nullptr, nullptr, data, &size) != ERROR_SUCCESS) break;
      values[key + L"|" + name] = std::wstring(reinterpret_cast<wchar_t*>(data), size / sizeof(wchar_t));
    }
    RegCloseKey(opened);
  }
  return values;
}

int notifications = 0;
int createCalls = 0;
int failingCreateCall = 0;

void WINAPI CountingChangeNotify(LONG eventId, UINT flags, LPCVOID, LPCVOID) {
  if (eventId == SHCNE_ASSOCCHANGED && flags == SHCNF_IDLIST) ++notifications;
}

LSTATUS WINAPI FailingCreateKey(HKEY root, LPCWSTR subKey, DWORD reserved, LPWSTR keyClass, DWORD options,
                                REGSAM access, LPSECURITY_ATTRIBUTES security, PHKEY result,
                                LPDWORD disposition) {
  if (++createCalls == failingCreateCall) return ERROR_ACCESS_DENIED;
  return RegCreateKeyExW(root, subKey, reserved, keyClass, options, access, security, result, disposition);
}

// Each test loads the DLL afresh, so the root chosen by one DllInstall does
// not carry over into the next test.
class Registration : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetModuleHandleW(DllUnderTest::Path().c_str()), nullptr) << "DLL still loaded";
    dll.emplace();
  }
  void TearDown() override { dll.reset(); }

  RegistryRestorer restorer;
  std::optional<DllUnderTest> dll;
};

struct InstallCase {
  const wchar_t* commandLine;
  const Scope* scope;
  const Scope* otherScope;
};

class InstallScopes : public Registration, public ::testing::WithParamInterface<InstallCase> {};

TEST_P(InstallScopes, WritesTheTenValuesUnderTheChosenRootAndRemovesThem) {
  const InstallCase& param = GetParam();
  ASSERT_EQ(dll->Install(TRUE, param.commandLine), S_OK);
  ExpectRegistered(*param.scope, DllUnderTest::Path());
  EXPECT_FALSE(KeyExists(param.otherScope->root, HandlerKey(L"*", param.scope->displayName)));
  EXPECT_FALSE(KeyExists(param.otherScope->root, classes + L"CLSID\\" + ClassIdText(param.scope->menuIndex)));

  ASSERT_EQ(dll->Install(FALSE, param.commandLine), S_OK);
  ExpectUnregistered(*param.scope);
  EXPECT_TRUE(KeyExists(param.scope->root, classes + L"Tamvera Sync\\shellex"))
      << "the application's own type keys stay";
}

INSTANTIATE_TEST_SUITE_P(CommandLines, InstallScopes,
                         ::testing::Values(InstallCase{L"S", &machineScope, &userScope},
                                           InstallCase{L"", &userScope, &machineScope},
                                           InstallCase{L"s", &userScope, &machineScope},
                                           InstallCase{L"S ", &userScope, &machineScope},
                                           InstallCase{nullptr, &userScope, &machineScope}));

TEST_F(Registration, RegisteringTwiceEqualsOnceAndOtherVersionsSurviveRemoval) {
  ScopedRegistryKey olderHandler(HKEY_CURRENT_USER, HandlerKey(L"*", L"Tamvera Sync 2.5.0"));
  ASSERT_TRUE(olderHandler.SetString(nullptr, L"{581FFA00-FC33-0000-0502-95003A5CDE89}"));

  ASSERT_EQ(dll->Install(TRUE, L""), S_OK);
  const auto once = Snapshot(userScope);
  ASSERT_EQ(dll->Install(TRUE, L""), S_OK);
  EXPECT_EQ(Snapshot(userScope), once);

  ASSERT_EQ(dll->Install(FALSE, L""), S_OK);
  ExpectUnregistered(userScope);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, HandlerKey(L"*", L"Tamvera Sync 2.5.0"), nullptr),
            L"{581FFA00-FC33-0000-0502-95003A5CDE89}");
}

TEST_F(Registration, FailedKeyCreationReportsFailureAndSendsNoNotification) {
  ImportHook notify(dll->Module(), "shell32.dll", "SHChangeNotify", reinterpret_cast<void*>(&CountingChangeNotify));
  ImportHook create(dll->Module(), "advapi32.dll", "RegCreateKeyExW", reinterpret_cast<void*>(&FailingCreateKey));
  ASSERT_TRUE(notify.Installed());
  ASSERT_TRUE(create.Installed());

  notifications = 0;
  createCalls = 0;
  failingCreateCall = 4;  // the all-files handler, after the two class keys
  EXPECT_EQ(dll->Install(TRUE, L""), E_FAIL);
  EXPECT_EQ(notifications, 0);
  const std::wstring menuClass = classes + L"CLSID\\" + ClassIdText(0);
  EXPECT_EQ(ReadString(HKEY_CURRENT_USER, menuClass + L"\\InprocServer32", L"ThreadingModel"), L"Apartment")
      << "entries before the failure stay";
  EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, HandlerKey(L"*", userScope.displayName)));

  failingCreateCall = 0;
  EXPECT_EQ(dll->Install(TRUE, L""), S_OK);
  EXPECT_EQ(notifications, 1);
  ExpectRegistered(userScope, DllUnderTest::Path());

  EXPECT_EQ(dll->Install(FALSE, L""), S_OK);
  EXPECT_EQ(dll->Install(FALSE, L""), S_OK) << "removing what is not there still succeeds";
  EXPECT_EQ(notifications, 3);
  ExpectUnregistered(userScope);
}

struct StagedName {
  const wchar_t* fileName;
  const wchar_t* registeredName;
};

class StagedUpdate : public Registration, public ::testing::WithParamInterface<StagedName> {};

TEST_P(StagedUpdate, IsRegisteredUnderItsFinalName) {
  TempFolder folder;
  const std::wstring staged = folder / GetParam().fileName;
  ASSERT_TRUE(CopyFileW(DllUnderTest::Path().c_str(), staged.c_str(), FALSE));
  HMODULE module = LoadLibraryW(staged.c_str());
  ASSERT_NE(module, nullptr);
  using InstallFunction = HRESULT(STDAPICALLTYPE*)(BOOL, LPCWSTR);
  auto install = reinterpret_cast<InstallFunction>(reinterpret_cast<void*>(GetProcAddress(module, "DllInstall")));
  ASSERT_NE(install, nullptr);
  EXPECT_EQ(install(TRUE, L""), S_OK);
  ExpectRegistered(userScope, folder / GetParam().registeredName);
  EXPECT_EQ(install(FALSE, L""), S_OK);
  FreeLibrary(module);
}

INSTANTIATE_TEST_SUITE_P(
    Names, StagedUpdate,
    ::testing::Values(StagedName{L"SyncShellContextMenu_new.dll", L"SyncShellContextMenu.dll"},
                      StagedName{L"SyncShellContextMenu_NEW.dll", L"SyncShellContextMenu_NEW.dll"},
                      StagedName{L"SyncShellContextMenu_new.DLL", L"SyncShellContextMenu_new.DLL"}));

TEST(RegisteredPath, ReplacesOnlyAnExactStagedEnding) {
  EXPECT_EQ(RegisteredPath(L"C:\\x\\a_new.dll"), L"C:\\x\\a.dll");
  EXPECT_EQ(RegisteredPath(L"a_new.dll"), L"a.dll") << "nine characters are enough";
  EXPECT_EQ(RegisteredPath(L"_new.dll"), L"_new.dll") << "the ending alone is no staged name";
  EXPECT_EQ(RegisteredPath(L"C:\\x\\a_new.dll.bak"), L"C:\\x\\a_new.dll.bak");
}

std::wstring Regsvr32() {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  return std::wstring(system) + L"\\regsvr32.exe";
}

DWORD RunRegsvr32(const std::wstring& options) {
  ChildProcess child(L"\"" + Regsvr32() + L"\" /s " + options + L" \"" + DllUnderTest::Path() + L"\"");
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
  EXPECT_EQ(CoCreateInstance(TestClassId(5), nullptr, CLSCTX_INPROC_SERVER, IID_IContextMenu,
                             reinterpret_cast<void**>(&menu)),
            S_OK);
  if (menu) {
    IShellExtInit* init = nullptr;
    EXPECT_EQ(menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)), S_OK);
    if (init) init->Release();
    menu->Release();
  }
  IExtractIconW* icon = nullptr;
  EXPECT_EQ(CoCreateInstance(TestClassId(6), nullptr, CLSCTX_INPROC_SERVER, IID_IExtractIconW,
                             reinterpret_cast<void**>(&icon)),
            S_OK);
  if (icon) {
    IPersistFile* file = nullptr;
    EXPECT_EQ(icon->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    if (file) file->Release();
    icon->Release();
  }
  CoFreeUnusedLibrariesEx(0, 0);
  CoUninitialize();
  EXPECT_EQ(GetModuleHandleW(DllUnderTest::Path().c_str()), nullptr) << "released classes let COM unload the DLL";

  EXPECT_EQ(RunRegsvr32(L"/u /n /i:S"), 0u);
  ExpectUnregistered(machineScope);
  EXPECT_EQ(RunRegsvr32(L"/u /n /i"), 0u);
  ExpectUnregistered(userScope);
}

}  // namespace
