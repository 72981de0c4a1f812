// The context menu as Explorer drives it, through the built DLL: which
// entries a selection gets, what each one sends, and what the menu logs.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <functional>
#include <optional>

#include "contextmenu/menuharness.h"
#include "support/childprocess.h"
#include "support/dllundertest.h"

namespace {

const wchar_t* const entryTexts[] = {nullptr, L"Share with Tamvera Sync", L"Sync to this device", L"Cancel receiving",
                                     L"Remove from this device", L"Remove from all devices"};
const wchar_t* const entryLogLines[] = {nullptr,
                                        L"Added menu item - share with sync",
                                        L"Added menu item - download",
                                        L"Added menu item - cancel downloading",
                                        L"Added menu item - remove from this",
                                        L"Added menu item - remove from all"};
const wchar_t* const outside = L"Selective Sync: inSyncFolder(0) isSelectiveFolder(0) isOwner(1)";
constexpr HRESULT claimedOffsets = MAKE_HRESULT(SEVERITY_SUCCESS, 0, 6);

class ContextMenu : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureLogFolder(); }
  void TearDown() override {
    WaitUntil([&] { return dll.CanUnloadNow() == S_OK; }, 40000);
  }

  ComPtr<IContextMenu> NewMenu() const {
    ComPtr<IContextMenu> menu;
    EXPECT_EQ(dll.CreateObject(TestClassId(0), IID_PPV_ARGS(&menu)), S_OK);
    return menu;
  }
  // The log lines of the last menu request since the test began.
  std::vector<std::wstring> LoggedSinceStart() const {
    std::vector<std::wstring> lines = LogMessagesOfThisProcess();
    lines.erase(lines.begin(), lines.begin() + std::min(logMark, lines.size()));
    for (size_t i = lines.size(); i-- > 0;)
      if (lines[i] == L"Called context menu") return {lines.begin() + i, lines.end()};
    return lines;
  }

  TempFolder folder;
  // A per-user installation: the menu shows even while the application is not running.
  InstallLocationKey userInstall{HKEY_CURRENT_USER, folder.Path()};
  DllUnderTest dll;
  size_t logMark = LogMessagesOfThisProcess().size();
};

// base\Sync, a synchronised folder; returns its path.
std::wstring SyncRoot(const std::wstring& base, int type = 2, int mode = 1,
                      std::optional<std::wstring> owner = std::nullopt, bool noRemoveFromAll = false) {
  const std::wstring root = base + L"\\Sync";
  MakeSyncRoot(root, FolderRecord(type, mode, owner.value_or(CurrentUser()), noRemoveFromAll));
  return root;
}

std::wstring File(const std::wstring& path) {
  WriteBytes(path, "content");
  return path;
}

std::wstring SwappedCase(std::wstring text) {
  for (wchar_t& c : text) c = iswupper(c) ? towlower(c) : towupper(c);
  return text;
}

// A folder whose path is exactly 259 characters and, beside it, a name that
// starts with that path but does not exist.
std::wstring BeyondMaxPath(const std::wstring& root) {
  std::wstring folder = root + L"\\";
  folder.append(259 - folder.size(), L'd');
  CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr);
  return folder + std::wstring(40, L'x');
}

struct MenuCase {
  const char* name;
  std::function<std::vector<std::wstring>(const std::wstring& base)> selection;
  std::vector<std::pair<UINT, bool>> entries;  // offset, greyed
  const wchar_t* gateLine = nullptr;
  DWORD sharingType = REG_NONE;
};

class MenuRows : public ContextMenu, public ::testing::WithParamInterface<MenuCase> {};

TEST_P(MenuRows, InsertsTheEntriesWithTextsIdsStatesBitmapsAndLogLines) {
  const MenuCase& param = GetParam();
  std::optional<ScopedRegistryKey> settings;
  if (param.sharingType != REG_NONE) {
    settings.emplace(HKEY_CURRENT_USER, L"Software\\Tamvera\\Sync");
    if (param.sharingType == REG_DWORD) settings->SetDword(L"ShellMenuFileSharingEnable", 0);
    else settings->SetString(L"ShellMenuFileSharingEnable", L"0");
  }
  const ComPtr<IContextMenu> menu = NewMenu();
  const QueryResult query = QueryMenu(menu.Get(), DropDataObject(param.selection(folder.Path())).Get());
  EXPECT_EQ(query.result, claimedOffsets);

  ASSERT_EQ(query.items.size(), param.entries.size() + 2);
  EXPECT_EQ(query.items.front().text, L"before");
  EXPECT_EQ(query.items.back().text, L"after");
  std::vector<std::wstring> expectedLog = {L"Called context menu"};
  if (param.sharingType == REG_DWORD) expectedLog.push_back(L"File sharing is disabled");
  for (size_t i = 0; i < param.entries.size(); ++i) {
    const auto [offset, greyed] = param.entries[i];
    const MenuItem& item = query.items[i + 1];
    EXPECT_EQ(item.text, entryTexts[offset]);
    EXPECT_EQ(item.id, firstId + offset);
    EXPECT_EQ(item.greyed, greyed) << offset;
    BITMAP bitmap{};
    ASSERT_EQ(GetObjectW(item.bitmap, sizeof bitmap, &bitmap), static_cast<int>(sizeof bitmap)) << offset;
    EXPECT_EQ(bitmap.bmWidth, GetSystemMetrics(SM_CXMENUCHECK));
    EXPECT_EQ(bitmap.bmHeight, GetSystemMetrics(SM_CYMENUCHECK));
    expectedLog.push_back(entryLogLines[offset]);
  }
  if (!param.entries.empty()) {
    EXPECT_EQ(query.style, static_cast<DWORD>(MNS_NOTIFYBYPOS | MNS_CHECKORBMP)) << "the host's style stays";
  }
  if (param.gateLine) expectedLog.push_back(param.gateLine);
  expectedLog.push_back(L"End of menu handler");
  EXPECT_EQ(LoggedSinceStart(), expectedLog);
}

using Paths = std::vector<std::wstring>;

INSTANTIATE_TEST_SUITE_P(
    Selections, MenuRows,
    ::testing::Values(
        MenuCase{"FileOutsideSyncFolders", [](auto& b) { return Paths{File(b + L"\\a.txt")}; }, {{1, false}}, outside},
        MenuCase{"RootNotInsideAnother", [](auto& b) { return Paths{SyncRoot(b)}; }, {{1, false}}, outside},
        MenuCase{"ModeZero",
                 [](auto& b) { return Paths{File(SyncRoot(b, 2, 0) + L"\\a.txt")}; },
                 {{1, false}},
                 L"Selective Sync: inSyncFolder(1) isSelectiveFolder(0) isOwner(1)"},
        MenuCase{"OwnerDiffersInCaseOnly",
                 [](auto& b) { return Paths{File(SyncRoot(b, 2, 1, SwappedCase(CurrentUser())) + L"\\a.txt")}; },
                 {{1, false}},
                 L"Selective Sync: inSyncFolder(1) isSelectiveFolder(1) isOwner(0)"},
        MenuCase{"EmptyOwner",
                 [](auto& b) { return Paths{File(SyncRoot(b, 2, 1, L"") + L"\\a.txt")}; },
                 {{1, false}, {4, false}, {5, false}}},
        MenuCase{"OrdinaryFileTypeTwo",
                 [](auto& b) { return Paths{File(SyncRoot(b) + L"\\a.txt")}; },
                 {{1, false}, {4, false}, {5, false}}},
        MenuCase{"PlaceholderAt40",
                 [](auto& b) {
                   MakePlaceholder(SyncRoot(b) + L"\\x.docx.tmvs", "d10:kvx_statusi40ee");
                   return Paths{b + L"\\Sync\\x.docx.tmvs"};
                 },
                 {{1, false}, {3, false}, {5, true}}},
        MenuCase{"CapitalPlaceholderExtension",
                 [](auto& b) {
                   MakePlaceholder(SyncRoot(b) + L"\\X.DOCX.TMVS", "d10:kvx_statusi40ee");
                   return Paths{b + L"\\Sync\\X.DOCX.TMVS"};
                 },
                 {{1, false}, {3, false}, {5, true}}},
        MenuCase{"PlaceholderWithoutProgressTypeTwo",
                 [](auto& b) {
                   MakePlaceholder(SyncRoot(b) + L"\\x.docx.tmvs", "d8:kvx_typei1ee");
                   return Paths{b + L"\\Sync\\x.docx.tmvs"};
                 },
                 {{1, false}, {2, false}, {5, false}}},
        MenuCase{"PlaceholderWithoutProgressTypeOne",
                 [](auto& b) {
                   MakePlaceholder(SyncRoot(b, 1) + L"\\x.docx.tmvs", "de");
                   return Paths{b + L"\\Sync\\x.docx.tmvs"};
                 },
                 {{1, false}, {2, false}, {5, true}}},
        MenuCase{"Folder",
                 [](auto& b) {
                   CreateFolder(SyncRoot(b) + L"\\Docs");
                   return Paths{b + L"\\Sync\\Docs"};
                 },
                 {{1, false}, {2, false}, {4, false}, {5, false}}},
        MenuCase{"RootInsideAnotherUsesItsOwnRecord",
                 [](auto& b) {
                   MakeSyncRoot(SyncRoot(b, 2, 0) + L"\\Inner", FolderRecord(2, 1, CurrentUser()));
                   return Paths{b + L"\\Sync\\Inner"};
                 },
                 {{1, false}, {2, false}, {4, false}, {5, false}}},
        MenuCase{"RemoveFromAllDevicesDisabled",
                 [](auto& b) { return Paths{File(SyncRoot(b, 2, 1, std::nullopt, true) + L"\\a.txt")}; },
                 {{1, false}, {4, false}}},
        MenuCase{"MixedSelection",
                 [](auto& b) {
                   const std::wstring root = SyncRoot(b);
                   MakePlaceholder(root + L"\\w.tmvs", "de");
                   MakePlaceholder(root + L"\\r.tmvs", "d10:kvx_statusi55ee");
                   CreateFolder(root + L"\\Docs");
                   return Paths{File(root + L"\\a.txt"), root + L"\\w.tmvs", root + L"\\r.tmvs", root + L"\\Docs"};
                 },
                 {{1, false}, {2, false}, {3, false}, {4, false}, {5, true}}},
        MenuCase{"SharingSwitchedOffByDword",
                 [](auto& b) { return Paths{File(SyncRoot(b) + L"\\a.txt")}; },
                 {{4, false}, {5, false}},
                 nullptr,
                 REG_DWORD},
        MenuCase{"SharingSwitchStoredAsString",
                 [](auto& b) { return Paths{File(SyncRoot(b) + L"\\a.txt")}; },
                 {{1, false}, {4, false}, {5, false}},
                 nullptr,
                 REG_SZ},
        MenuCase{"NothingAtAll", [](auto& b) { return Paths{File(b + L"\\a.txt")}; }, {}, outside, REG_DWORD},
        MenuCase{"UnreadableFirstItem",
                 [](auto& b) { return Paths{b + L"\\gone.txt", File(SyncRoot(b) + L"\\a.txt")}; },
                 {{1, false}},
                 outside},
        // Wine counts an empty list as one nameless item; either way nothing is scanned.
        MenuCase{"ZeroItems", [](auto&) { return Paths{}; }, {{1, false}}, outside},
        MenuCase{"TenThousandItems",
                 [](auto& b) { return Paths(10000, File(SyncRoot(b) + L"\\a.txt")); },
                 {{1, false}, {4, false}, {5, false}}},
        MenuCase{"PathOf32000Characters",
                 [](auto& b) { return Paths{SyncRoot(b) + L"\\" + std::wstring(32000, L'y')}; },
                 {{1, false}},
                 outside},
        MenuCase{"PathLongerThanMaxPathIsNotCutShort",
                 [](auto& b) { return Paths{BeyondMaxPath(SyncRoot(b))}; },
                 {{1, false}},
                 outside}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ContextMenu, DeclinesWithoutTouchingTheMenu) {
  const std::wstring file = File(folder / L"a.txt");
  struct Decline {
    ComPtr<IDataObject> selection;
    UINT flags;
    std::vector<std::wstring> log;
  };
  const std::vector<Decline> declines = {
      {DropDataObject({file}), CMF_VERBSONLY, {L"Called context menu", L"Skip shortcut target"}},
      {nullptr, CMF_NORMAL, {L"Called context menu"}},
      {EmptyDataObject(), CMF_NORMAL, {L"Called context menu", L"Context menu: GetData failed (80040064); mh : 0"}},
      // A list without its end would be read past its memory.
      {RawDropDataObject(DropListBytes({file}).substr(0, 30)), CMF_NORMAL,
       {L"Called context menu", L"Context menu: GetData failed (8007000d); mh : 0"}},
  };
  for (const Decline& decline : declines) {
    const ComPtr<IContextMenu> menu = NewMenu();
    ComPtr<IShellExtInit> init;
    ASSERT_EQ(menu.As(&init), S_OK);
    // A selection held from before is dropped by a later Initialize.
    EXPECT_EQ(init->Initialize(nullptr, DropDataObject({file}).Get(), nullptr), S_OK);
    const QueryResult query = QueryMenu(menu.Get(), decline.selection.Get(), decline.flags);
    EXPECT_EQ(query.result, E_NOTIMPL);
    EXPECT_EQ(query.items.size(), 2u);
    EXPECT_EQ(LoggedSinceStart(), decline.log);
  }
}

std::vector<std::string> RecordedMessages(const std::wstring& record) {
  const std::string text = ReadBytes(record);
  std::vector<std::string> messages;
  size_t at = 0;
  unsigned connection = 0;
  size_t length = 0;
  int used = 0;
  while (std::sscanf(text.c_str() + at, "message %u %zu\n%n", &connection, &length, &used) == 2 &&
         at + used + length <= text.size()) {
    messages.push_back(text.substr(at + used, length));
    at += used + length + 1;
  }
  return messages;
}

std::string Benc(const std::wstring& path) {
  const std::string utf8 = Utf8(path);
  return std::to_string(utf8.size()) + ":" + utf8;
}

HRESULT Invoke(IContextMenu* menu, LPCSTR verb) {
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof info;
  info.lpVerb = verb;
  info.nShow = SW_SHOWNORMAL;
  return menu->InvokeCommand(&info);
}

TEST_F(ContextMenu, EachEntrySendsItsMessagesToTheApplication) {
  const std::wstring record = folder / L"received.txt";
  ChildProcess app(L"\"" + ProgramDirectory() + L"\\fakesyncapp.exe\" --quiet --record \"" + record + L"\"");
  ASSERT_TRUE(WaitUntil([] {
    HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, L"Local\\pipesynccmd_sync");
    if (mutex) CloseHandle(mutex);
    return mutex != nullptr;
  }, 20000));

  const Paths paths = {File(folder / L"a.txt"), File(folder / L"\u00e4 b.txt"), File(folder / L"c.txt")};
  const ComPtr<IContextMenu> menu = NewMenu();
  ASSERT_EQ(QueryMenu(menu.Get(), DropDataObject(paths).Get()).result, claimedOffsets);

  std::vector<std::string> expected = {"d6:actioni7e5:filesl" + Benc(paths[0]) + Benc(paths[1]) + Benc(paths[2]) +
                                       "e4:lasti1ee"};
  for (UINT offset = 1; offset <= 5; ++offset) {
    const int action = offset == 1 ? 7 : static_cast<int>(offset) + 1;
    for (size_t i = 0; offset > 1 && i < paths.size(); ++i)
      expected.push_back("d6:actioni" + std::to_string(action) + "e" + (i + 1 == paths.size() ? "4:lasti1e" : "") +
                         "4:path" + Benc(paths[i]) + "e");
    EXPECT_EQ(Invoke(menu.Get(), MAKEINTRESOURCEA(offset)), S_OK);
    // One batch at a time, so that batches cannot interleave.
    WaitUntil([&] { return RecordedMessages(record).size() >= expected.size(); }, 20000);
  }

  // A string verb whose address ends in 0x0001 must not pass for entry 1.
  char* page = static_cast<char*>(VirtualAlloc(nullptr, 0x20000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  ASSERT_NE(page, nullptr);
  char* verb = page + 0x10000 - (reinterpret_cast<UINT_PTR>(page) & 0xFFFF) + 1;
  std::strcpy(verb, "open");
  for (LPCSTR invalid : std::initializer_list<LPCSTR>{MAKEINTRESOURCEA(0), MAKEINTRESOURCEA(6),
                                                      MAKEINTRESOURCEA(0xFFFF), "open", verb})
    EXPECT_EQ(Invoke(menu.Get(), invalid), E_INVALIDARG);
  Sleep(500);
  EXPECT_EQ(RecordedMessages(record), expected);
  VirtualFree(page, 0, MEM_RELEASE);
}

TEST_F(ContextMenu, HelpTextsAreTheEntryTextsCutToTheBuffer) {
  const ComPtr<IContextMenu> menu = NewMenu();
  for (UINT_PTR offset = 0; offset <= 6; ++offset) {
    wchar_t wide[64] = {};
    char narrow[64] = {};
    const bool known = offset >= 1 && offset <= 5;
    const HRESULT expected = known ? S_OK : E_INVALIDARG;
    EXPECT_EQ(menu->GetCommandString(offset, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(wide), 64), expected);
    EXPECT_EQ(menu->GetCommandString(offset, GCS_HELPTEXTA, nullptr, narrow, 64), expected);
    for (UINT type : {GCS_VERBW, GCS_VERBA, GCS_VALIDATEW, GCS_VALIDATEA})
      EXPECT_EQ(menu->GetCommandString(offset, type, nullptr, narrow, 64), E_INVALIDARG);
    if (!known) continue;
    EXPECT_STREQ(wide, entryTexts[offset]);
    EXPECT_EQ(narrow, Utf8(entryTexts[offset]));
    ASSERT_EQ(menu->GetCommandString(offset, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(wide), 5), S_OK);
    EXPECT_EQ(std::wstring(wide), std::wstring(entryTexts[offset]).substr(0, 4));
    ASSERT_EQ(menu->GetCommandString(offset, GCS_HELPTEXTA, nullptr, narrow, 5), S_OK);
    EXPECT_EQ(std::string(narrow), Utf8(entryTexts[offset]).substr(0, 4));
  }
}

TEST_F(ContextMenu, IdsBeyondTheHostsRangeAreLeftOut) {
  const ComPtr<IContextMenu> menu = NewMenu();
  ComPtr<IShellExtInit> init;
  ASSERT_EQ(menu.As(&init), S_OK);
  init->Initialize(nullptr, DropDataObject({File(SyncRoot(folder.Path()) + L"\\a.txt")}).Get(), nullptr);
  HMENU target = CreatePopupMenu();
  EXPECT_EQ(menu->QueryContextMenu(target, 0, firstId, firstId + 4, CMF_NORMAL), claimedOffsets);
  const std::vector<MenuItem> items = ReadMenu(target);
  DestroyMenu(target);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].id, firstId + 1);
  EXPECT_EQ(items[1].id, firstId + 4);
}

TEST_F(ContextMenu, ReleaseLeavesNoGdiObjectBehind) {
  const ComPtr<IDataObject> selection = DropDataObject({File(SyncRoot(folder.Path()) + L"\\a.txt")});
  const DWORD before = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  for (int cycle = 0; cycle < 20; ++cycle) {
    ComPtr<IContextMenu> menu = NewMenu();
    const QueryResult query = QueryMenu(menu.Get(), selection.Get());
    ASSERT_EQ(query.items.size(), 5u);
    menu.Reset();
    for (const MenuItem& item : query.items) {
      if (item.bitmap) {
        EXPECT_EQ(GetObjectType(item.bitmap), 0u) << "bitmap still alive";
      }
    }
  }
  EXPECT_LE(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), before + 8);
}

}  // namespace
