// The packaged menu's top-level command as Windows 11 Explorer drives it
// through the built DLL, with the shell's own item arrays: the same entries,
// states, texts and messages as the classic menu for the same selection.
#include <gtest/gtest.h>
#include <shlobj.h>

#include <optional>

#include "support/childprocess.h"
#include "support/dllundertest.h"
#include "support/fakeapp.h"
#include "support/menuharness.h"
#include "support/menurows.h"
#include "support/shellitems.h"

namespace {

using namespace menucases;

constexpr unsigned userCommandClass = 0x10, serviceCommandClass = 0x15;
// The icon resources of the five entries, and of the program.
constexpr int entryIcons[6] = {110, 110, 110, 110, 108, 109};

// What a text getter of IExplorerCommand gives, freed.
template <typename Getter>
std::wstring TextOf(Getter get) {
  LPWSTR text = nullptr;
  const HRESULT result = get(&text);
  std::wstring taken = SUCCEEDED(result) && text ? text : L"<failed>";
  CoTaskMemFree(text);
  return taken;
}

// Takes over a reference an out array gave. MinGW's ComPtr::Attach adds a
// reference of its own, so it cannot be used for this.
ComPtr<IExplorerCommand> Adopt(IExplorerCommand* command) {
  ComPtr<IExplorerCommand> owner;
  *owner.GetAddressOf() = command;
  return owner;
}

std::vector<ComPtr<IExplorerCommand>> SubCommands(IExplorerCommand* top) {
  std::vector<ComPtr<IExplorerCommand>> commands;
  ComPtr<IEnumExplorerCommand> walk;
  if (FAILED(top->EnumSubCommands(&walk)) || !walk) return commands;
  IExplorerCommand* next = nullptr;
  while (walk->Next(1, &next, nullptr) == S_OK) commands.push_back(Adopt(next));
  return commands;
}

// The sub-commands' states as the classic menu's entries: "1 3 5-".
std::string SubCommandEntries(IExplorerCommand* top, IShellItemArray* items) {
  std::string entries;
  const std::vector<ComPtr<IExplorerCommand>> commands = SubCommands(top);
  for (size_t i = 0; i < commands.size(); ++i) {
    EXPCMDSTATE state = ECS_ENABLED;
    EXPECT_EQ(commands[i]->GetState(items, TRUE, &state), S_OK);
    if (state == ECS_HIDDEN) continue;
    entries += (entries.empty() ? "" : " ") + std::to_string(i + 1) + (state == ECS_DISABLED ? "-" : "");
  }
  return entries;
}

std::string ClassicEntries(const QueryResult& query) {
  std::string entries;
  for (size_t i = 1; i + 1 < query.items.size(); ++i)
    entries += (i > 1 ? " " : "") + std::to_string(query.items[i].id - firstId) + (query.items[i].greyed ? "-" : "");
  return entries;
}

EXPCMDSTATE TopState(IExplorerCommand* top, IShellItemArray* items, BOOL okToBeSlow, HRESULT expected = S_OK) {
  EXPCMDSTATE state = ECS_CHECKED;
  EXPECT_EQ(top->GetState(items, okToBeSlow, &state), expected);
  return state;
}

class ExplorerCommand : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureLogFolder(); }
  void TearDown() override { WaitUntil([&] { return dll.CanUnloadNow() == S_OK; }, 40000); }
  ComPtr<IExplorerCommand> NewCommand(unsigned index = userCommandClass) const {
    ComPtr<IExplorerCommand> command;
    EXPECT_EQ(dll.CreateObject(TestClassId(index), IID_PPV_ARGS(&command)), S_OK);
    return command;
  }
  ComPtr<IContextMenu> NewMenu() const {
    ComPtr<IContextMenu> menu;
    EXPECT_EQ(dll.CreateObject(TestClassId(0), IID_PPV_ARGS(&menu)), S_OK);
    return menu;
  }
  std::wstring IconOf(int entry) const { return DllUnderTest::Path() + L",-" + std::to_wstring(entryIcons[entry]); }

  TempFolder folder;
  // Per user: the menus show while the application is not running.
  InstallLocationKey userInstall{HKEY_CURRENT_USER, folder.Path()};
  DllUnderTest dll;
};

TEST_F(ExplorerCommand, BothClassIdsServeTheTopLevelCommandAndOnlyItsInterfaces) {
  for (unsigned index : {2u, 3u, 4u, 7u}) {
    ComPtr<IClassFactory> factory;
    EXPECT_EQ(dll.GetClassObject(TestClassId(index), IID_PPV_ARGS(&factory)), CLASS_E_CLASSNOTAVAILABLE) << index;
  }
  GUID firstName{};
  for (unsigned index : {userCommandClass, serviceCommandClass}) {
    SCOPED_TRACE(index);
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(dll.GetClassObject(TestClassId(index), IID_PPV_ARGS(&factory)), S_OK);
    ComPtr<IExplorerCommand> command;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&command)), S_OK);
    factory.Reset();
    ComPtr<IUnknown> identity;
    ComPtr<IObjectWithSite> withSite;
    ComPtr<IUnknown> other;
    ASSERT_EQ(command.As(&identity), S_OK);
    EXPECT_EQ(identity.Get(), static_cast<IUnknown*>(command.Get()));
    ASSERT_EQ(command.As(&withSite), S_OK);
    for (REFIID refused : {IID_IContextMenu, IID_IShellExtInit, IID_IExtractIconW, IID_IEnumExplorerCommand})
      EXPECT_EQ(command->QueryInterface(refused, reinterpret_cast<void**>(other.GetAddressOf())), E_NOINTERFACE);

    EXPECT_EQ(withSite->GetSite(IID_PPV_ARGS(&other)), E_FAIL);
    EXPECT_EQ(withSite->SetSite(identity.Get()), S_OK);
    EXPECT_EQ(withSite->GetSite(IID_PPV_ARGS(&other)), S_OK);
    EXPECT_EQ(other.Get(), identity.Get());
    EXPECT_EQ(withSite->SetSite(nullptr), S_OK);
    other.Reset();

    EXPECT_EQ(TextOf([&](LPWSTR* t) { return command->GetTitle(nullptr, t); }), L"Tamvera Sync");
    EXPECT_EQ(TextOf([&](LPWSTR* t) { return command->GetIcon(nullptr, t); }), IconOf(0));
    LPWSTR text = nullptr;
    EXPECT_EQ(command->GetToolTip(nullptr, &text), E_NOTIMPL);
    EXPCMDFLAGS flags = ECF_DEFAULT;
    EXPECT_EQ(command->GetFlags(&flags), S_OK);
    EXPECT_EQ(flags, ECF_HASSUBCOMMANDS);
    GUID name{};
    EXPECT_EQ(command->GetCanonicalName(&name), S_OK);
    if (index == userCommandClass) firstName = name;
    EXPECT_TRUE(name == firstName && name != GUID_NULL) << "one fixed name for both installations";
    EXPECT_EQ(command->Invoke(nullptr, nullptr), E_NOTIMPL);

    EXPECT_EQ(dll.CanUnloadNow(), S_FALSE) << "the object keeps the DLL loaded";
    withSite.Reset();
    identity.Reset();
    command.Reset();
    EXPECT_EQ(dll.CanUnloadNow(), S_OK);
  }
}

TEST_F(ExplorerCommand, SubCommandsFollowTheEnumeratorContract) {
  ComPtr<IExplorerCommand> top = NewCommand();
  ComPtr<IEnumExplorerCommand> walk;
  ASSERT_EQ(top->EnumSubCommands(&walk), S_OK);
  IExplorerCommand* got[8] = {};
  ULONG fetched = 99;
  EXPECT_EQ(walk->Next(3, got, nullptr), E_INVALIDARG) << "only a request for one may omit the count";
  EXPECT_EQ(walk->Next(2, got, &fetched), S_OK);
  EXPECT_EQ(fetched, 2u);
  ComPtr<IEnumExplorerCommand> clone;
  ASSERT_EQ(walk->Clone(&clone), S_OK);
  EXPECT_EQ(walk->Skip(2), S_OK);
  EXPECT_EQ(walk->Next(8, got + 2, &fetched), S_FALSE);
  EXPECT_EQ(fetched, 1u) << "five in all";
  EXPECT_EQ(walk->Skip(1), S_FALSE);
  EXPECT_EQ(clone->Next(8, got + 3, &fetched), S_FALSE) << "the clone goes on from where it was made";
  EXPECT_EQ(fetched, 3u);
  ASSERT_EQ(walk->Reset(), S_OK);
  IExplorerCommand* first = nullptr;
  EXPECT_EQ(walk->Next(1, &first, nullptr), S_OK);
  ComPtr<IExplorerCommand> commands[6];
  for (int i = 0; i < 6; ++i) commands[i] = Adopt(got[i]);
  const ComPtr<IExplorerCommand> again = Adopt(first);
  EXPECT_EQ(again.Get(), commands[0].Get());

  EXPECT_EQ(commands[5].Get(), commands[2].Get()) << "the clone walks the same commands";
  const ComPtr<IExplorerCommand> order[5] = {commands[0], commands[1], commands[3], commands[4], commands[5]};
  GUID names[5]{};
  for (int i = 0; i < 5; ++i) {
    SCOPED_TRACE(i + 1);
    EXPECT_EQ(TextOf([&](LPWSTR* t) { return order[i]->GetTitle(nullptr, t); }), entryTexts[i + 1]);
    EXPECT_EQ(TextOf([&](LPWSTR* t) { return order[i]->GetToolTip(nullptr, t); }), entryTexts[i + 1]) << "the classic help text";
    EXPECT_EQ(TextOf([&](LPWSTR* t) { return order[i]->GetIcon(nullptr, t); }), IconOf(i + 1));
    EXPCMDFLAGS flags = ECF_HASSUBCOMMANDS;
    EXPECT_EQ(order[i]->GetFlags(&flags), S_OK);
    EXPECT_EQ(flags, ECF_DEFAULT);
    IEnumExplorerCommand* none = reinterpret_cast<IEnumExplorerCommand*>(1);
    EXPECT_EQ(order[i]->EnumSubCommands(&none), E_NOTIMPL);
    EXPECT_EQ(none, nullptr);
    EXPECT_EQ(order[i]->GetCanonicalName(&names[i]), S_OK);
    for (int j = 0; j < i; ++j) EXPECT_NE(names[i], names[j]);
    ComPtr<IObjectWithSite> withSite;
    EXPECT_EQ(order[i].As(&withSite), E_NOINTERFACE);
  }
}

class CommandRows : public ExplorerCommand, public ::testing::WithParamInterface<MenuCase> {};

TEST_P(CommandRows, ShowTheClassicMenusEntriesAndStates) {
  const MenuCase& row = GetParam();
  std::optional<ScopedRegistryKey> settings;
  if (row.sharing != REG_NONE) settings.emplace(HKEY_CURRENT_USER, L"Software\\Tamvera\\Sync");
  if (row.sharing == REG_DWORD) settings->SetDword(L"ShellMenuFileSharingEnable", 0);
  if (row.sharing == REG_SZ) settings->SetString(L"ShellMenuFileSharingEnable", L"0");
  const Paths paths = row.selection(folder.Path());
  const std::string classic = ClassicEntries(QueryMenu(NewMenu().Get(), DropDataObject(paths).Get()));
  EXPECT_EQ(classic, row.entries);

  ComPtr<IShellItemArray> items = ShellItemArrayOf(paths);
  ASSERT_TRUE(items) << "the shell made no item array";
  ComPtr<IExplorerCommand> top = NewCommand();
  EXPECT_EQ(TopState(top.Get(), items.Get(), TRUE), classic.empty() ? ECS_HIDDEN : ECS_ENABLED);
  EXPECT_EQ(SubCommandEntries(top.Get(), items.Get()), classic);
  // A fresh object asked only for its sub-commands decides the same.
  EXPECT_EQ(SubCommandEntries(NewCommand().Get(), items.Get()), classic);
  EXPECT_EQ(TopState(NewCommand(serviceCommandClass).Get(), items.Get(), TRUE), ECS_HIDDEN)
      << "only the class of the installation this DLL belongs to shows";
}

// Without items the classic menu has nothing to compare with. Wine's shell
// cuts a name beyond MAX_PATH when it makes the item, so the long-path row
// would read its parent folder instead; Windows keeps the whole name.
std::vector<MenuCase> CasesWithItems() {
  std::vector<MenuCase> cases;
  for (const MenuCase& row : menuCases) {
    const std::string_view name = row.name;
    if (name != "ZeroItems" && name != "PathLongerThanMaxPathIsNotCutShort") cases.push_back(row);
  }
  return cases;
}
INSTANTIATE_TEST_SUITE_P(Selections, CommandRows, ::testing::ValuesIn(CasesWithItems()),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExplorerCommand, TheQuickAnswerReadsOneItemAndTheSlowOneDecides) {
  const std::wstring root = Root(folder.Path());
  ComPtr<IShellItemArray> one = ShellItemArrayOf({File(root + L"\\a.txt")});
  ComPtr<IShellItemArray> four = ShellItemArrayOf({File(root + L"\\b.txt"), Placeholder(root + L"\\w.tmvs", "de"),
                                                   Placeholder(root + L"\\r.tmvs", "d10:kvx_statusi40ee"),
                                                   menucases::Folder(root + L"\\Docs")});
  ASSERT_TRUE(one && four);
  ComPtr<IExplorerCommand> top = NewCommand();
  EXPECT_EQ(TopState(top.Get(), one.Get(), FALSE), ECS_ENABLED) << "one item is read at once";
  EXPECT_EQ(TopState(top.Get(), four.Get(), FALSE, E_PENDING), ECS_HIDDEN);
  std::vector<ComPtr<IExplorerCommand>> subs = SubCommands(top.Get());
  ASSERT_EQ(subs.size(), 5u);
  EXPCMDSTATE state = ECS_ENABLED;
  EXPECT_EQ(subs[1]->GetState(four.Get(), FALSE, &state), E_PENDING);
  EXPECT_EQ(TopState(top.Get(), four.Get(), TRUE), ECS_ENABLED);
  EXPECT_EQ(TopState(top.Get(), four.Get(), FALSE), ECS_ENABLED) << "the slow read is kept for the same array";
  EXPECT_EQ(SubCommandEntries(top.Get(), four.Get()), "1 2 3 4 5-");
}

// Forwards to the shell's array and counts the items asked for: each one
// costs the shell a name lookup, maybe on a slow share.
class CountingItems : public IShellItemArray {
 public:
  explicit CountingItems(IShellItemArray* items) : items(items) {}
  ULONG references = 1;
  UINT asked = 0;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IShellItemArray) return E_NOINTERFACE;
    *out = static_cast<IShellItemArray*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override { return --references; }
  HRESULT STDMETHODCALLTYPE BindToHandler(IBindCtx* context, REFGUID handler, REFIID iid, void** out) override {
    return items->BindToHandler(context, handler, iid, out);
  }
  HRESULT STDMETHODCALLTYPE GetPropertyStore(GETPROPERTYSTOREFLAGS flags, REFIID iid, void** out) override {
    return items->GetPropertyStore(flags, iid, out);
  }
  HRESULT STDMETHODCALLTYPE GetPropertyDescriptionList(REFPROPERTYKEY key, REFIID iid, void** out) override {
    return items->GetPropertyDescriptionList(key, iid, out);
  }
  HRESULT STDMETHODCALLTYPE GetAttributes(SIATTRIBFLAGS flags, SFGAOF mask, SFGAOF* attributes) override {
    return items->GetAttributes(flags, mask, attributes);
  }
  HRESULT STDMETHODCALLTYPE GetCount(DWORD* count) override { return items->GetCount(count); }
  HRESULT STDMETHODCALLTYPE GetItemAt(DWORD index, IShellItem** item) override {
    ++asked;
    return items->GetItemAt(index, item);
  }
  HRESULT STDMETHODCALLTYPE EnumItems(IEnumShellItems** walk) override { return items->EnumItems(walk); }

 private:
  IShellItemArray* items;
};

TEST_F(ExplorerCommand, TheQuickAnswerAsksTheShellForTwoItemsOfAHundred) {
  const std::wstring root = Root(folder.Path());
  Paths paths;
  for (int i = 0; i < 100; ++i)
    paths.push_back(i % 2 ? File(root + L"\\f" + std::to_wstring(i) + L".txt")
                          : Placeholder(root + L"\\p" + std::to_wstring(i) + L".tmvs", "de"));
  ComPtr<IShellItemArray> shellItems = ShellItemArrayOf(paths);
  ASSERT_TRUE(shellItems);
  CountingItems items(shellItems.Get());
  {
    ComPtr<IExplorerCommand> top = NewCommand();
    EXPECT_EQ(TopState(top.Get(), &items, FALSE, E_PENDING), ECS_HIDDEN);
    EXPECT_LE(items.asked, 2u) << "Explorer's thread waits for every name";
    EXPECT_EQ(TopState(top.Get(), &items, TRUE), ECS_ENABLED);
    // How far the slow one gets within its budget depends on the machine.
    EXPECT_GT(items.asked, 2u) << "the slow pass reads on";
    EXPECT_NE(SubCommandEntries(top.Get(), &items), "");
  }
  EXPECT_EQ(items.references, 1u) << "the kept read lets the array go with the command";

  // A first item without a path: the quick pass does not go looking for one.
  PIDLIST_ABSOLUTE computer = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer), S_OK);
  PIDLIST_ABSOLUTE file = ILCreateFromPathW(paths[1].c_str());
  ASSERT_TRUE(file);
  PCIDLIST_ABSOLUTE lists[] = {computer, file};
  ComPtr<IShellItemArray> mixed;
  ASSERT_EQ(SHCreateShellItemArrayFromIDLists(2, lists, &mixed), S_OK);
  CoTaskMemFree(computer);
  ILFree(file);
  ComPtr<IExplorerCommand> top = NewCommand();
  EXPECT_EQ(TopState(top.Get(), mixed.Get(), FALSE, E_PENDING), ECS_HIDDEN);
  EXPECT_EQ(TopState(top.Get(), mixed.Get(), TRUE), ECS_ENABLED);
}

TEST_F(ExplorerCommand, NullEmptyAndVirtualSelectionsHideEverythingAndSendNothing) {
  FakeSyncApp app;
  ASSERT_TRUE(app.WaitReady());
  PIDLIST_ABSOLUTE computer = nullptr;
  ASSERT_EQ(SHGetSpecialFolderLocation(nullptr, CSIDL_DRIVES, &computer), S_OK);
  ComPtr<IShellItemArray> virtualOnly;
  PCIDLIST_ABSOLUTE lists[] = {computer};
  ASSERT_EQ(SHCreateShellItemArrayFromIDLists(1, lists, &virtualOnly), S_OK);
  CoTaskMemFree(computer);
  for (IShellItemArray* items : {static_cast<IShellItemArray*>(nullptr), virtualOnly.Get()}) {
    ComPtr<IExplorerCommand> top = NewCommand();
    EXPECT_EQ(TopState(top.Get(), items, FALSE), ECS_HIDDEN);
    EXPECT_EQ(TopState(top.Get(), items, TRUE), ECS_HIDDEN);
    EXPECT_EQ(SubCommandEntries(top.Get(), items), "");
    for (const ComPtr<IExplorerCommand>& sub : SubCommands(top.Get())) EXPECT_EQ(sub->Invoke(items, nullptr), S_OK);
    top.Reset();
    EXPECT_EQ(dll.CanUnloadNow(), S_OK) << "no delivery was started";
  }
  Sleep(500);
  EXPECT_TRUE(app.Received().empty());
}

TEST_F(ExplorerCommand, EachSubCommandSendsTheClassicEntrysMessages) {
  FakeSyncApp app;
  ASSERT_TRUE(app.WaitReady());
  const std::wstring root = Root(folder.Path());
  const Paths paths = {File(root + L"\\a.txt"), Placeholder(root + L"\\r.tmvs", "d10:kvx_statusi40ee"),
                       menucases::Folder(root + L"\\Docs")};
  ComPtr<IShellItemArray> items = ShellItemArrayOf(paths);
  ASSERT_TRUE(items);
  size_t expected = 0;
  for (UINT entry = 1; entry <= 5; ++entry) {
    SCOPED_TRACE(entry);
    ComPtr<IContextMenu> menu = NewMenu();
    QueryMenu(menu.Get(), DropDataObject(paths).Get());
    CMINVOKECOMMANDINFO invoke{};
    invoke.cbSize = sizeof invoke;
    invoke.lpVerb = MAKEINTRESOURCEA(entry);
    ASSERT_EQ(menu->InvokeCommand(&invoke), S_OK);
    const size_t perEntry = entry == 1 ? 1 : paths.size();
    expected += perEntry;
    ASSERT_EQ(app.WaitForMessages(expected).size(), expected);

    ComPtr<IExplorerCommand> top = NewCommand();
    std::vector<ComPtr<IExplorerCommand>> subs = SubCommands(top.Get());
    ASSERT_EQ(subs.size(), 5u);
    const ULONGLONG start = GetTickCount64();
    EXPECT_EQ(subs[entry - 1]->Invoke(items.Get(), nullptr), S_OK);
    EXPECT_LT(GetTickCount64() - start, 2000u) << "the delivery runs on its own thread";
    expected += perEntry;
    const std::vector<ReceivedMessage> received = app.WaitForMessages(expected);
    ASSERT_EQ(received.size(), expected);
    for (size_t i = 0; i < perEntry; ++i)
      EXPECT_EQ(received[expected - perEntry + i].bytes, received[expected - 2 * perEntry + i].bytes) << i;
  }
}

// Run by explorercommand_german_tests under a German user interface.
TEST_F(ExplorerCommand, GermanTextsAreTheClassicMenusTexts) {
  if (!GetEnvironmentVariableW(L"SYNCSHELL_COMMAND_LANGUAGE", nullptr, 0))
    GTEST_SKIP() << "runs under a German user interface only (explorercommand_german_tests)";
  ComPtr<IContextMenu> menu = NewMenu();
  const std::vector<ComPtr<IExplorerCommand>> subs = SubCommands(NewCommand().Get());
  ASSERT_EQ(subs.size(), 5u);
  for (UINT entry = 1; entry <= 5; ++entry) {
    wchar_t help[256] = {};
    ASSERT_EQ(menu->GetCommandString(entry, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(help), 256), S_OK);
    EXPECT_EQ(TextOf([&](LPWSTR* t) { return subs[entry - 1]->GetTitle(nullptr, t); }), help);
    EXPECT_EQ(TextOf([&](LPWSTR* t) { return subs[entry - 1]->GetToolTip(nullptr, t); }), help);
    EXPECT_NE(help, entryTexts[entry]) << "not the English text";
  }
  EXPECT_EQ(TextOf([&](LPWSTR* t) { return subs[0]->GetTitle(nullptr, t); }), L"Mit Tamvera Sync teilen");
}

}  // namespace
