// The extension as clients nobody here wrote meet it: Wine's regsvr32, COM
// activation through the registry, the shell's own data object and icon lookup.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "support/menuharness.h"
#include "support/fakeapp.h"
#include "support/iconpixels.h"
#include "shellhost/shellselection.h"
#include "support/dllundertest.h"
#include "registrykeys.h"

namespace {

const std::wstring blocked = L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked";

// The keys that the machine-wide registration writes and removes.
std::vector<std::wstring> RegistrationKeys() {
  std::vector<std::wstring> keys{ClassKey(machineScope.menuIndex), ClassKey(machineScope.iconIndex)};
  for (const auto& [key, named] : SharedKeys(machineScope)) keys.push_back(key);
  return keys;
}

// Wine's own, from the system folder.
DWORD RunRegsvr32(const std::wstring& options) {
  return ChildProcess(L"regsvr32.exe /s " + options + L" \"" + DllUnderTest::Path() + L"\"").Wait(60000);
}

bool registered = false;

// For the whole run: the service installation in the DLL's folder, registered by regsvr32 /i:S.
class MachineWideInstallation : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    // Those keys, their parents and the keys Wine's shell creates are removed at the end if they are new.
    std::vector<std::pair<HKEY, std::wstring>> keys = {
        {HKEY_LOCAL_MACHINE, classes + L".tmvs\\ShellEx"}, {HKEY_LOCAL_MACHINE, blocked}, {HKEY_CURRENT_USER, blocked}};
    for (const std::wstring& key : RegistrationKeys()) keys.emplace_back(HKEY_LOCAL_MACHINE, key);
    for (const auto& [root, key] : keys)
      for (size_t end = key.find(L'\\', classes.size());; end = key.find(L'\\', end + 1)) {
        if (!KeyExists(root, key.substr(0, end), 0)) created.emplace_back(root, key.substr(0, end));
        if (end == std::wstring::npos) break;
      }
    std::sort(created.begin(), created.end(), [](auto& a, auto& b) { return a.second.size() > b.second.size(); });
    location.emplace(HKEY_LOCAL_MACHINE, uninstallKey);
    ASSERT_TRUE(location->SetString(L"InstallLocation", ProgramDirectory()));
    ASSERT_EQ(RunRegsvr32(L"/n /i:S"), 0u);
    wchar_t server[MAX_PATH] = {};
    DWORD size = sizeof server;
    RegGetValueW(HKEY_LOCAL_MACHINE, (ClassKey(5) + L"\\InprocServer32").c_str(), nullptr, RRF_RT_REG_SZ, nullptr,
                 server, &size);
    EXPECT_TRUE(registered = server == DllUnderTest::Path());
  }
  void TearDown() override {
    EXPECT_EQ(RunRegsvr32(L"/u /n /i:S"), 0u);
    for (const std::wstring& key : RegistrationKeys()) EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key, 0)) << Utf8(key);
    ComPtr<IUnknown> gone;
    EXPECT_EQ(CoCreateInstance(TestClassId(5), nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&gone)),
              REGDB_E_CLASSNOTREG);
    location.reset();
    for (const auto& [root, key] : created) RegDeleteTreeW(root, key.c_str()), RegDeleteKeyW(root, key.c_str());
    CoUninitialize();
  }

 private:
  std::vector<std::pair<HKEY, std::wstring>> created;
  std::optional<ScopedRegistryKey> location;
};

[[maybe_unused]] const auto* const installation = ::testing::AddGlobalTestEnvironment(new MachineWideInstallation);

// base\Outside\a.txt beside base\Sync, a selective folder of the current user.
class ShellClient : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registered) << "regsvr32 did not register the DLL machine-wide";
    CreateFolder(base + L"\\Outside");
    MakeSyncRoot(base + L"\\Sync", FolderRecord(2, 1, CurrentUser()));
    CreateFolder(base + L"\\Sync\\Docs");
    for (const wchar_t* file : {L"Outside\\a.txt", L"Sync\\a.txt", L"Sync\\\u00DCbersicht.txt"})
      WriteBytes(base + L"\\" + file, "x");
    for (const auto& [name, state] :
         {std::pair{L"receiving", "d10:kvx_statusi40ee"}, {L"waiting", "de"}, {L"done", "d10:kvx_statusi100ee"}})
      MakePlaceholder(base + L"\\Sync\\" + name + L".docx.tmvs", state);
  }

  TempFolder folder;
  // The shell hands over long names.
  const std::wstring base = [this] {
    wchar_t buffer[MAX_PATH] = {};
    const DWORD length = GetLongPathNameW(folder.Path().c_str(), buffer, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(buffer) : folder.Path();
  }();
};

std::string Benc(const std::wstring& path) { return std::to_string(Utf8(path).size()) + ":" + Utf8(path); }

struct MenuRow {
  const char* name;
  std::vector<const wchar_t*> items;  // below the base folder
  const char* entries;                // offsets in order, "-" marks a greyed one
  UINT chosen;                        // the offset invoked
};

class MenuThroughTheRegistry : public ShellClient, public ::testing::WithParamInterface<MenuRow> {};

TEST_P(MenuThroughTheRegistry, ShowsTheEntriesAndDeliversTheChosenOne) {
  const MenuRow& row = GetParam();
  std::vector<std::wstring> paths;
  for (const wchar_t* item : row.items) paths.push_back(base + L"\\" + item);
  FakeSyncApp service(L"--service");
  ASSERT_TRUE(service.WaitReady());
  ShellSelection selection;
  std::wstring why;
  ASSERT_TRUE(selection.Build(paths, why)) << Utf8(why);
  ComPtr<IContextMenu> menu;
  ASSERT_EQ(CoCreateInstance(TestClassId(5), nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&menu)), S_OK);
  ComPtr<IShellExtInit> init;
  ASSERT_EQ(menu.As(&init), S_OK);
  ASSERT_EQ(init->Initialize(selection.Folder(), selection.DataObject(), nullptr), S_OK);
  HMENU popup = CreatePopupMenu();
  EXPECT_EQ(menu->QueryContextMenu(popup, 0, firstId, firstId + 99, CMF_NORMAL), MAKE_HRESULT(0, 0, 6));
  std::string entries;
  for (const MenuItem& item : ReadMenu(popup))
    entries += (entries.empty() ? "" : " ") + std::to_string(item.id - firstId) + (item.greyed ? "-" : "");
  DestroyMenu(popup);
  EXPECT_EQ(entries, row.entries);
  // As Explorer invokes: the extended structure with both verb forms.
  CMINVOKECOMMANDINFOEX invoke{};
  invoke.cbSize = sizeof invoke, invoke.fMask = CMIC_MASK_UNICODE;
  invoke.lpVerb = MAKEINTRESOURCEA(row.chosen), invoke.lpVerbW = MAKEINTRESOURCEW(row.chosen);
  EXPECT_EQ(menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&invoke)), S_OK);

  // What the application must receive, written out from the message schema.
  std::vector<std::string> expected;
  std::string files;
  for (size_t i = 0; i < paths.size(); ++i) {
    files += Benc(paths[i]);
    expected.push_back("d6:actioni" + std::to_string(row.chosen + 1) + "e" + (i + 1 < paths.size() ? "" : "4:lasti1e") +
                       "4:path" + Benc(paths[i]) + "e");
  }
  if (row.chosen == 1) expected = {"d6:actioni7e5:filesl" + files + "e4:lasti1ee"};
  const std::vector<ReceivedMessage> received = service.WaitForMessages(expected.size());
  std::vector<std::string> bytes;
  for (const ReceivedMessage& message : received) {
    bytes.push_back(message.bytes);
    EXPECT_EQ(message.connection, received.front().connection) << "one choice, one connection";
  }
  EXPECT_EQ(bytes, expected);
}

// Every entry is chosen on some row.
INSTANTIATE_TEST_SUITE_P(
    UserPaths, MenuThroughTheRegistry,
    ::testing::Values(MenuRow{"FileOutsideSyncFolders", {L"Outside\\a.txt"}, "1", 1},
                      MenuRow{"OrdinaryFile", {L"Sync\\a.txt"}, "1 4 5", 4},
                      MenuRow{"PlaceholderAt40", {L"Sync\\receiving.docx.tmvs"}, "1 3 5-", 3},
                      MenuRow{"PlaceholderWithoutProgress", {L"Sync\\waiting.docx.tmvs"}, "1 2 5", 2},
                      MenuRow{"Folder", {L"Sync\\Docs"}, "1 2 4 5", 5},
                      MenuRow{"TwoItems", {L"Sync\\\u00DCbersicht.txt", L"Sync\\waiting.docx.tmvs"}, "1 2 4 5", 4}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ShellClient, TheShellsIconLookupReachesTheHandlerForEachPlaceholder) {
  // Wine's shell looks an icon handler up under the extension; Windows
  // Explorer reads the file type's shellex\IconHandler, which registration writes.
  ScopedRegistryKey handler(HKEY_LOCAL_MACHINE, classes + L".tmvs\\ShellEx\\{000214FA-0000-0000-C000-000000000046}");
  ASSERT_TRUE(handler.SetString(nullptr, ClassText(6)));
  for (const auto& [placeholder, progressMark] :
       {std::pair{L"Sync\\done.docx.tmvs", true}, {L"Sync\\waiting.docx.tmvs", false}}) {
    SCOPED_TRACE(Utf8(placeholder));
    // The shell item's UI object is its folder's GetUIObjectOf.
    ComPtr<IShellItem> item;
    ASSERT_EQ(SHCreateItemFromParsingName((base + L"\\" + placeholder).c_str(), nullptr, IID_PPV_ARGS(&item)), S_OK);
    ComPtr<IExtractIconW> extract;
    ASSERT_EQ(item->BindToHandler(nullptr, BHID_SFUIObject, IID_IExtractIconW, &extract), S_OK);
    wchar_t location[MAX_PATH] = {};
    int index = -1;
    UINT flags = 0;
    ASSERT_EQ(extract->GetIconLocation(GIL_FORSHELL, location, MAX_PATH, &index, &flags), S_OK);
    ASSERT_EQ(flags, static_cast<UINT>(GIL_NOTFILENAME | GIL_DONTCACHE)) << "the shell's own icon object answered";
    // Large 32, small 16 (winefile's large size of 0 asks for no large icon).
    HICON large = nullptr, small = nullptr;
    EXPECT_EQ(extract->Extract(location, index, &large, &small, MAKELONG(32, 16)), S_OK);
    const Pixels largePixels = ReadIconPixels(large), smallPixels = ReadIconPixels(small);
    DestroyIcon(large);
    DestroyIcon(small);
    EXPECT_EQ(smallPixels.width, GetSystemMetrics(SM_CXSMICON));
    EXPECT_EQ(largePixels.Count(0xFF00C3FF) > 0, progressMark) << "the progress arc's blue";
  }
}

}  // namespace
