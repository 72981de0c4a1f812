// The context menu as Explorer drives it through the built DLL: the entries a
// selection gets, their texts, ids, states and bitmaps, and what the menu logs.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>

#include "support/menuharness.h"
#include "support/menurows.h"
#include "support/childprocess.h"
#include "support/dllundertest.h"

namespace {

using namespace menucases;
const std::wstring (&texts)[6] = entryTexts;
const std::wstring logged[] = {L"", L"share with sync", L"download", L"cancel downloading", L"remove from this",
                               L"remove from all"};
const wchar_t* const outside = outsideGateLine;
constexpr HRESULT shown = MAKE_HRESULT(SEVERITY_SUCCESS, 0, 6);

class ContextMenu : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureLogFolder(); }
  void TearDown() override { WaitUntil([&] { return dll.CanUnloadNow() == S_OK; }, 40000); }
  ComPtr<IContextMenu> NewMenu() const {
    ComPtr<IContextMenu> menu;
    EXPECT_EQ(dll.CreateObject(TestClassId(0), IID_PPV_ARGS(&menu)), S_OK);
    return menu;
  }
  // The log lines of the last menu request since the test began.
  std::vector<std::wstring> LastRequestLog() const {
    const std::vector<std::wstring> lines = LogMessagesOfThisProcess();
    size_t from = std::min(logMark, lines.size());
    for (size_t i = from; i < lines.size(); ++i) from = lines[i] == L"Called context menu" ? i : from;
    return {lines.begin() + from, lines.end()};
  }

  TempFolder folder;
  // Per user: the menu shows while the application is not running.
  InstallLocationKey userInstall{HKEY_CURRENT_USER, folder.Path()};
  DllUnderTest dll;
  size_t logMark = LogMessagesOfThisProcess().size();
};

class MenuRows : public ContextMenu, public ::testing::WithParamInterface<MenuCase> {};

TEST_P(MenuRows, InsertTheEntriesWithTextsIdsStatesBitmapsAndLogLines) {
  const MenuCase& row = GetParam();
  std::optional<ScopedRegistryKey> settings;
  if (row.sharing != REG_NONE) settings.emplace(HKEY_CURRENT_USER, L"Software\\Tamvera\\Sync");
  if (row.sharing == REG_DWORD) settings->SetDword(L"ShellMenuFileSharingEnable", 0);
  if (row.sharing == REG_SZ) settings->SetString(L"ShellMenuFileSharingEnable", L"0");
  ComPtr<IContextMenu> menu = NewMenu();
  const QueryResult query = QueryMenu(menu.Get(), DropDataObject(row.selection(folder.Path())).Get());
  EXPECT_EQ(query.result, shown);
  ASSERT_GE(query.items.size(), 2u);
  EXPECT_EQ(query.items.front().text + query.items.back().text, L"beforeafter") << "inserted at indexMenu";
  std::string entries;
  std::vector<std::wstring> log = {L"Called context menu"};
  if (row.sharing == REG_DWORD) log.push_back(L"File sharing is disabled");
  for (size_t i = 1; i + 1 < query.items.size(); ++i) {
    const MenuItem& item = query.items[i];
    const UINT offset = item.id - firstId <= 5 ? item.id - firstId : 0;
    entries += (i > 1 ? " " : "") + std::to_string(offset) + (item.greyed ? "-" : "");
    EXPECT_EQ(item.text, texts[offset]);
    BITMAP bitmap{};
    EXPECT_TRUE(GetObjectW(item.bitmap, sizeof bitmap, &bitmap) && bitmap.bmWidth == GetSystemMetrics(SM_CXMENUCHECK) &&
                bitmap.bmHeight == GetSystemMetrics(SM_CYMENUCHECK))
        << "a bitmap of the check-mark size for " << offset;
    log.push_back(L"Added menu item - " + logged[offset]);
  }
  EXPECT_EQ(entries, row.entries);
  if (*row.entries) {
    EXPECT_EQ(query.style, DWORD{MNS_NOTIFYBYPOS | MNS_CHECKORBMP}) << "the host's style stays";
  }
  if (row.gateLine) log.push_back(row.gateLine);
  log.push_back(L"End of menu handler");
  EXPECT_EQ(LastRequestLog(), log);
  // The bitmaps are shared: they outlive the menu object, not the module.
  menu.Reset();
  for (const MenuItem& item : query.items) {
    if (item.bitmap) {
      EXPECT_EQ(GetObjectType(item.bitmap), DWORD{OBJ_BITMAP}) << "bitmap went with one menu";
    }
  }
  EXPECT_EQ(dll.CanUnloadNow(), S_OK);
  for (const MenuItem& item : query.items) EXPECT_EQ(GetObjectType(item.bitmap), 0u) << "bitmap outlived the module's use";
}

INSTANTIATE_TEST_SUITE_P(Selections, MenuRows, ::testing::ValuesIn(menuCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ContextMenu, DeclinesWithoutTouchingTheMenu) {
  const std::wstring path = File(folder / L"a.txt");
  const std::tuple<ComPtr<IDataObject>, UINT, std::vector<std::wstring>> declines[] = {
      {DropDataObject({path}), CMF_VERBSONLY, {L"Called context menu", L"Skip shortcut target"}},
      {nullptr, CMF_NORMAL, {L"Called context menu"}},
      {EmptyDataObject(), CMF_NORMAL, {L"Called context menu", L"Context menu: GetData failed (80040064); mh : 0"}},
      // A list without its end would be read past its memory.
      {RawDropDataObject(DropListBytes({path}).substr(0, 30)), CMF_NORMAL,
       {L"Called context menu", L"Context menu: GetData failed (8007000d); mh : 0"}},
  };
  for (const auto& [selection, flags, log] : declines) {
    const ComPtr<IContextMenu> menu = NewMenu();
    QueryMenu(menu.Get(), DropDataObject({path}).Get());  // a selection held from before is dropped
    const QueryResult query = QueryMenu(menu.Get(), selection.Get(), flags);
    EXPECT_EQ(query.result, E_NOTIMPL);
    EXPECT_EQ(query.items.size(), 2u);
    EXPECT_EQ(LastRequestLog(), log);
  }
}

TEST_F(ContextMenu, CommandsAreOnlyTheEntryOffsetsAndTheirHelpTextsFitTheBuffer) {
  const ComPtr<IContextMenu> menu = NewMenu();
  QueryMenu(menu.Get(), DropDataObject({File(folder / L"a.txt")}).Get());
  // A string verb whose address ends in 0x0001 must not pass for entry 1.
  char* page = static_cast<char*>(VirtualAlloc(nullptr, 0x20000, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
  char* verb = std::strcpy(page + 0x10001 - (reinterpret_cast<UINT_PTR>(page) & 0xFFFF), "open");
  const LPCSTR invalids[] = {MAKEINTRESOURCEA(0), MAKEINTRESOURCEA(6), MAKEINTRESOURCEA(0xFFFF), "open", verb};
  for (LPCSTR invalid : invalids) {
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info, info.lpVerb = invalid;
    EXPECT_EQ(menu->InvokeCommand(&info), E_INVALIDARG);
  }
  VirtualFree(page, 0, MEM_RELEASE);
  for (UINT_PTR offset = 0; offset <= 6; ++offset) {
    const HRESULT known = offset >= 1 && offset <= 5 ? S_OK : E_INVALIDARG;
    for (UINT size : {64u, 5u}) {
      wchar_t wide[64] = {};
      char narrow[64] = {};
      EXPECT_EQ(menu->GetCommandString(offset, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(wide), size), known);
      EXPECT_EQ(menu->GetCommandString(offset, GCS_HELPTEXTA, nullptr, narrow, size), known);
      EXPECT_EQ(wide, known == S_OK ? texts[offset].substr(0, size - 1) : L"");
      EXPECT_EQ(narrow, known == S_OK ? Utf8(texts[offset]).substr(0, size - 1) : "");
    }
    for (UINT type : {GCS_VERBW, GCS_VERBA, GCS_VALIDATEW, GCS_VALIDATEA})
      EXPECT_EQ(menu->GetCommandString(offset, type, nullptr, reinterpret_cast<CHAR*>(page), 64), E_INVALIDARG);
  }
}

TEST_F(ContextMenu, IdsBeyondTheHostsRangeAreLeftOut) {
  const ComPtr<IContextMenu> menu = NewMenu();
  QueryMenu(menu.Get(), DropDataObject({File(Root(folder.Path()) + L"\\a.txt")}).Get());
  HMENU target = CreatePopupMenu();
  EXPECT_EQ(menu->QueryContextMenu(target, 0, firstId, firstId + 4, CMF_NORMAL), shown);
  const std::vector<MenuItem> items = ReadMenu(target);
  DestroyMenu(target);
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0].id + items[1].id, 2 * firstId + 5);
}

}  // namespace
