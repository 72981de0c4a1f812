// The extension as clients nobody here wrote meet it: Wine's regsvr32
// registers it machine-wide, COM creates its objects from that registration,
// the shell's own data object is the selection, fakesyncapp (playing the
// service) receives the commands, and the shell's own icon lookup reaches
// the icon handler.
#include <windows.h>
#include <commctrl.h>
#include <commoncontrols.h>
#include <shlobj.h>
#include <wrl/client.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "contextmenu/menuharness.h"
#include "fakeapp.h"
#include "iconhandler/iconpixels.h"
#include "shellhost/shellselection.h"
#include "support/dllundertest.h"
#include "support/testfiles.h"

namespace {

using Microsoft::WRL::ComPtr;

const std::wstring classes = L"Software\\Classes\\";
const std::wstring displayName = L"Tamvera Sync Service 2.6.0";
// Wine's shell looks an item's icon handler up under its extension (it reads
// HKCR\.ext\ShellEx\{IID_IExtractIconW}); Windows Explorer reads the file
// type's shellex\IconHandler, which the registration writes.
const std::wstring wineIconHandlerKey = classes + L".tmvs\\ShellEx\\{000214FA-0000-0000-C000-000000000046}";
const std::wstring blockedExtensions = L"Software\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Blocked";

std::wstring ClassText(unsigned index) {
  wchar_t text[40] = {};
  StringFromGUID2(TestClassId(index), text, 40);
  return text;
}
std::wstring ClassKey(unsigned index) { return classes + L"CLSID\\" + ClassText(index); }

bool KeyExists(HKEY root, const std::wstring& key) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

std::wstring ReadDefault(const std::wstring& key) {
  wchar_t data[MAX_PATH] = {};
  DWORD size = sizeof data - sizeof(wchar_t);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
    return {};
  return data;
}

// The keys that the machine-wide registration writes and removes.
std::vector<std::wstring> RegistrationKeys() {
  std::vector<std::wstring> keys{ClassKey(5), ClassKey(6), classes + L"Tamvera Sync\\shellex\\IconHandler"};
  for (const wchar_t* fileClass : {L"*", L"lnkfile", L"Directory"})
    keys.push_back(classes + fileClass + L"\\shellex\\ContextMenuHandlers\\" + displayName);
  return keys;
}

// Deletes at the end the keys of the list that did not exist at the start:
// parents the registration leaves behind and those Wine's shell creates.
class KeysCreatedHere {
 public:
  KeysCreatedHere() {
    std::vector<std::pair<HKEY, std::wstring>> keys;
    for (const std::wstring& key : RegistrationKeys()) {
      for (size_t slash = key.find(L'\\', classes.size()); slash != std::wstring::npos;
           slash = key.find(L'\\', slash + 1))
        keys.emplace_back(HKEY_LOCAL_MACHINE, key.substr(0, slash));
      keys.emplace_back(HKEY_LOCAL_MACHINE, key);
    }
    keys.emplace_back(HKEY_LOCAL_MACHINE, classes + L".tmvs");
    keys.emplace_back(HKEY_LOCAL_MACHINE, classes + L".tmvs\\ShellEx");
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      keys.emplace_back(root, blockedExtensions.substr(0, blockedExtensions.rfind(L'\\')));
      keys.emplace_back(root, blockedExtensions);
    }
    for (const auto& key : keys)
      if (!KeyExists(key.first, key.second)) created.push_back(key);
    std::sort(created.begin(), created.end(), [](auto& a, auto& b) { return a.second.size() > b.second.size(); });
  }
  ~KeysCreatedHere() {
    for (const auto& [root, key] : created) RegDeleteTreeW(root, key.c_str()), RegDeleteKeyW(root, key.c_str());
  }
  KeysCreatedHere(const KeysCreatedHere&) = delete;
  KeysCreatedHere& operator=(const KeysCreatedHere&) = delete;

 private:
  std::vector<std::pair<HKEY, std::wstring>> created;
};

DWORD RunRegsvr32(const std::wstring& options) {
  wchar_t system[MAX_PATH] = {};
  GetSystemDirectoryW(system, MAX_PATH);
  ChildProcess child(L"\"" + std::wstring(system) + L"\\regsvr32.exe\" /s " + options + L" \"" +
                     DllUnderTest::Path() + L"\"");
  return child.Wait(60000);
}

bool registered = false;

// The service installation for the whole run: registered by regsvr32 /i:S,
// its install location the DLL's folder; unregistered at the end.
class MachineWideInstallation : public ::testing::Environment {
 public:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    keys.emplace();
    location.emplace(HKEY_LOCAL_MACHINE, uninstallKey);
    ASSERT_TRUE(location->SetString(L"InstallLocation", ProgramDirectory()));
    ASSERT_EQ(RunRegsvr32(L"/n /i:S"), 0u);
    registered = ReadDefault(ClassKey(5) + L"\\InprocServer32") == DllUnderTest::Path();
    EXPECT_TRUE(registered);
  }
  void TearDown() override {
    EXPECT_EQ(RunRegsvr32(L"/u /n /i:S"), 0u);
    for (const std::wstring& key : RegistrationKeys())
      EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key)) << Utf8(key);
    ComPtr<IUnknown> gone;
    EXPECT_EQ(CoCreateInstance(TestClassId(5), nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&gone)),
              REGDB_E_CLASSNOTREG);
    location.reset();
    keys.reset();
    CoUninitialize();
  }

 private:
  std::optional<KeysCreatedHere> keys;
  std::optional<ScopedRegistryKey> location;
};

[[maybe_unused]] const auto* const installation = ::testing::AddGlobalTestEnvironment(new MachineWideInstallation);

std::wstring LongPath(const std::wstring& path) {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetLongPathNameW(path.c_str(), buffer, MAX_PATH);
  return length > 0 && length < MAX_PATH ? buffer : path;
}

// base\Outside\a.txt beside base\Sync, a selective folder of the current
// user with an ordinary file, placeholders and a folder.
void BuildFolders(const std::wstring& base) {
  CreateFolder(base + L"\\Outside");
  WriteBytes(base + L"\\Outside\\a.txt", "content");
  const std::wstring sync = base + L"\\Sync";
  MakeSyncRoot(sync, FolderRecord(2, 1, CurrentUser()));
  WriteBytes(sync + L"\\a.txt", "content");
  WriteBytes(sync + L"\\\u00DCbersicht.txt", "content");
  MakePlaceholder(sync + L"\\receiving.docx.tmvs", "d10:kvx_statusi40ee");
  MakePlaceholder(sync + L"\\waiting.docx.tmvs", "de");
  MakePlaceholder(sync + L"\\done.docx.tmvs", "d10:kvx_statusi100ee");
  CreateFolder(sync + L"\\Docs");
}

class ShellClient : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registered) << "regsvr32 did not register the DLL machine-wide";
    BuildFolders(base);
  }

  TempFolder folder;
  const std::wstring base = LongPath(folder.Path());
};

// The delivery threads count as live objects of the module.
void WaitForDeliveries() {
  const HMODULE module = GetModuleHandleW(DllUnderTest::Path().c_str());
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  const auto canUnload =
      module ? reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")))
             : nullptr;
  if (canUnload) WaitUntil([&] { return canUnload() == S_OK; }, 40000);
}

const wchar_t* const entryTexts[] = {nullptr, L"Share with Tamvera Sync", L"Sync to this device", L"Cancel receiving",
                                     L"Remove from this device", L"Remove from all devices"};
const int actionOfOffset[] = {0, 7, 3, 4, 5, 6};

std::string BencodedPath(const std::wstring& path) {
  const std::string utf8 = Utf8(path);
  return std::to_string(utf8.size()) + ":" + utf8;
}

// What the application must receive, written out from the message schema.
std::vector<std::string> ExpectedMessages(int action, const std::vector<std::wstring>& paths) {
  if (action == 7) {
    std::string files;
    for (const std::wstring& path : paths) files += BencodedPath(path);
    return {"d6:actioni7e5:filesl" + files + "e4:lasti1ee"};
  }
  std::vector<std::string> messages;
  for (size_t i = 0; i < paths.size(); ++i)
    messages.push_back("d6:actioni" + std::to_string(action) + "e" + (i + 1 == paths.size() ? "4:lasti1e" : "") +
                       "4:path" + BencodedPath(paths[i]) + "e");
  return messages;
}

struct MenuRow {
  const char* name;
  std::vector<const wchar_t*> items;           // below the base folder
  std::vector<std::pair<UINT, bool>> entries;  // offset, greyed
  UINT chosen;                                 // the offset invoked
};

void PrintTo(const MenuRow& row, std::ostream* out) { *out << row.name; }

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
  const std::vector<MenuItem> items = ReadMenu(popup);
  DestroyMenu(popup);
  ASSERT_EQ(items.size(), row.entries.size());
  for (size_t i = 0; i < items.size(); ++i) {
    const auto [offset, greyed] = row.entries[i];
    EXPECT_EQ(items[i].text, entryTexts[offset]) << i;
    EXPECT_EQ(items[i].id, firstId + offset) << i;
    EXPECT_EQ(items[i].greyed, greyed) << i;
  }

  // As Explorer invokes: the extended structure with both verb forms.
  CMINVOKECOMMANDINFOEX invoke{};
  invoke.cbSize = sizeof invoke;
  invoke.fMask = CMIC_MASK_UNICODE;
  invoke.lpVerb = MAKEINTRESOURCEA(row.chosen);
  invoke.lpVerbW = MAKEINTRESOURCEW(row.chosen);
  invoke.nShow = SW_SHOWNORMAL;
  EXPECT_EQ(menu->InvokeCommand(reinterpret_cast<CMINVOKECOMMANDINFO*>(&invoke)), S_OK);
  init.Reset();
  menu.Reset();
  WaitForDeliveries();

  const std::vector<std::string> expected = ExpectedMessages(actionOfOffset[row.chosen], paths);
  const std::vector<ReceivedMessage> received = service.WaitForMessages(expected.size());
  std::vector<std::string> bytes;
  for (const ReceivedMessage& message : received) bytes.push_back(message.bytes);
  EXPECT_EQ(bytes, expected);
  for (const ReceivedMessage& message : received)
    EXPECT_EQ(message.connection, received.front().connection) << "one choice, one connection";
}

INSTANTIATE_TEST_SUITE_P(
    UserPaths, MenuThroughTheRegistry,
    ::testing::Values(
        MenuRow{"FileOutsideSyncFolders", {L"Outside\\a.txt"}, {{1, false}}, 1},
        MenuRow{"OrdinaryFile", {L"Sync\\a.txt"}, {{1, false}, {4, false}, {5, false}}, 4},
        MenuRow{"PlaceholderAt40", {L"Sync\\receiving.docx.tmvs"}, {{1, false}, {3, false}, {5, true}}, 3},
        MenuRow{"PlaceholderWithoutProgress", {L"Sync\\waiting.docx.tmvs"}, {{1, false}, {2, false}, {5, false}}, 2},
        MenuRow{"Folder", {L"Sync\\Docs"}, {{1, false}, {2, false}, {4, false}, {5, false}}, 5},
        MenuRow{"TwoItems",
                {L"Sync\\\u00DCbersicht.txt", L"Sync\\waiting.docx.tmvs"},
                {{1, false}, {2, false}, {4, false}, {5, false}},
                1}),
    [](const auto& info) { return std::string(info.param.name); });

// The shell's own icon object for the item, as its views ask for it.
HRESULT ShellIconObject(const std::wstring& path, ComPtr<IExtractIconW>& extract) {
  PIDLIST_ABSOLUTE pidl = nullptr;
  HRESULT result = SHParseDisplayName(path.c_str(), nullptr, &pidl, 0, nullptr);
  if (FAILED(result)) return result;
  ComPtr<IShellFolder> parent;
  PCUITEMID_CHILD child = nullptr;
  result = SHBindToParent(pidl, IID_PPV_ARGS(&parent), &child);
  if (SUCCEEDED(result))
    result = parent->GetUIObjectOf(nullptr, 1, &child, IID_IExtractIconW, nullptr,
                                   reinterpret_cast<void**>(extract.ReleaseAndGetAddressOf()));
  CoTaskMemFree(pidl);
  return result;
}

SIZE JumboIconSize() {
  SIZE size{};
  ComPtr<IImageList> jumbo;
  if (SUCCEEDED(SHGetImageList(SHIL_JUMBO, __uuidof(IImageList), reinterpret_cast<void**>(jumbo.GetAddressOf()))))
    jumbo->GetIconSize(reinterpret_cast<int*>(&size.cx), reinterpret_cast<int*>(&size.cy));
  return size;
}

struct IconRow {
  const char* name;
  const wchar_t* placeholder;  // in the selective folder
  UINT sizes;                  // large in the low word, small in the high word
  bool progressMark;
};

void PrintTo(const IconRow& row, std::ostream* out) { *out << row.name; }

class IconThroughTheShell : public ShellClient, public ::testing::WithParamInterface<IconRow> {};

TEST_P(IconThroughTheShell, ReachesTheHandlerAndGivesIconsOfBothSizes) {
  const IconRow& row = GetParam();
  ScopedRegistryKey handler(HKEY_LOCAL_MACHINE, wineIconHandlerKey);
  ASSERT_TRUE(handler.SetString(nullptr, ClassText(6)));

  ComPtr<IExtractIconW> extract;
  ASSERT_EQ(ShellIconObject(base + L"\\Sync\\" + row.placeholder, extract), S_OK);
  wchar_t location[MAX_PATH] = {};
  int index = -1;
  UINT flags = 0;
  ASSERT_EQ(extract->GetIconLocation(GIL_FORSHELL, location, MAX_PATH, &index, &flags), S_OK);
  ASSERT_EQ(flags, static_cast<UINT>(GIL_NOTFILENAME | GIL_DONTCACHE)) << "the shell's own icon object answered";

  HICON large = nullptr, small = nullptr;
  EXPECT_EQ(extract->Extract(location, index, &large, &small, row.sizes), S_OK);
  const Pixels largePixels = ReadIconPixels(large), smallPixels = ReadIconPixels(small);
  DestroyIcon(large);
  DestroyIcon(small);
  const SIZE jumbo = JumboIconSize();
  EXPECT_EQ(largePixels.width, jumbo.cx);
  EXPECT_EQ(largePixels.height, jumbo.cy);
  EXPECT_EQ(smallPixels.width, GetSystemMetrics(SM_CXSMICON));
  EXPECT_EQ(smallPixels.height, GetSystemMetrics(SM_CYSMICON));
  EXPECT_EQ(largePixels.Count(0xFF00C3FF) > 0, row.progressMark) << "the progress arc's blue";
}

INSTANTIATE_TEST_SUITE_P(
    Placeholders, IconThroughTheShell,
    ::testing::Values(IconRow{"CompleteAtJumboSize", L"done.docx.tmvs", MAKELONG(256, 16), true},
                      IconRow{"CompleteAsWinefileAsks", L"done.docx.tmvs", MAKELONG(0, 16), true},
                      IconRow{"WaitingInSelectiveFolderUnmarked", L"waiting.docx.tmvs", MAKELONG(0, 16), false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
