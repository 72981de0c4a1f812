// What a right-click costs Explorer beyond its answer, through the built DLL:
// nothing on a double-click, bitmaps built once per process, one open per
// record, a bounded scan of a slow selection and one pass over a long one.
// The calls are counted through the DLL's import table; no bound here is a
// timing measurement, only a line far beyond the budget that a regression
// crosses by tens of seconds.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "bencode/bencencode.h"
#include "channel/commandmessages.h"
#include "support/dllundertest.h"
#include "support/fakeapp.h"
#include "support/iconpixels.h"
#include "support/importhook.h"
#include "support/menuharness.h"

namespace {

constexpr HRESULT shown = MAKE_HRESULT(SEVERITY_SUCCESS, 0, 6);
const char* const receiving = "d10:kvx_statusi40ee";
const char* const waiting = "d8:kvx_typei1ee";

// The DLL's file and registry calls, counted; each open may be slowed.
struct FileCalls {
  static inline std::atomic<int> opens{0}, attributeReads{0}, registryOpens{0};
  static inline std::atomic<DWORD> openDelayMs{0};
  static inline std::mutex pathsLock;
  static inline std::vector<std::wstring> openedPaths;
  static inline void *realCreateFile = nullptr, *realAttributes = nullptr, *realRegOpen = nullptr;

  static HANDLE WINAPI CreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                  DWORD disposition, DWORD flags, HANDLE model) {
    ++opens;
    if (DWORD delay = openDelayMs.load()) Sleep(delay);
    {
      std::lock_guard lock(pathsLock);
      openedPaths.emplace_back(name ? name : L"");
    }
    return reinterpret_cast<decltype(&CreateFileW)>(realCreateFile)(name, access, share, security, disposition,
                                                                    flags, model);
  }
  static DWORD WINAPI Attributes(LPCWSTR name) {
    ++attributeReads;
    return reinterpret_cast<decltype(&GetFileAttributesW)>(realAttributes)(name);
  }
  static LSTATUS WINAPI RegOpen(HKEY key, LPCWSTR subKey, DWORD options, REGSAM access, PHKEY result) {
    ++registryOpens;
    return reinterpret_cast<decltype(&RegOpenKeyExW)>(realRegOpen)(key, subKey, options, access, result);
  }

  explicit FileCalls(HMODULE module)
      : createHook(module, "kernel32.dll", "CreateFileW", reinterpret_cast<void*>(&CreateFile)),
        attributesHook(module, "kernel32.dll", "GetFileAttributesW", reinterpret_cast<void*>(&Attributes)),
        registryHook(module, "advapi32.dll", "RegOpenKeyExW", reinterpret_cast<void*>(&RegOpen)) {
    realCreateFile = createHook.Original();
    realAttributes = attributesHook.Original();
    realRegOpen = registryHook.Original();
    opens = attributeReads = registryOpens = 0;
    openDelayMs = 0;
    openedPaths.clear();
  }
  bool Installed() const { return createHook.Installed() && attributesHook.Installed() && registryHook.Installed(); }
  static size_t OpensEndingIn(const std::wstring& suffix) {
    std::lock_guard lock(pathsLock);
    return static_cast<size_t>(std::count_if(openedPaths.begin(), openedPaths.end(),
                                             [&](const std::wstring& path) { return path.ends_with(suffix); }));
  }

  ImportHook createHook, attributesHook, registryHook;
};

class MenuWorkload : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { EnsureLogFolder(); }
  void SetUp() override { MakeSyncRoot(root, FolderRecord(2, 1, CurrentUser())); }
  void TearDown() override { WaitUntil([&] { return dll.CanUnloadNow() == S_OK; }, 40000); }
  ComPtr<IContextMenu> NewMenu() const {
    ComPtr<IContextMenu> menu;
    EXPECT_EQ(dll.CreateObject(TestClassId(0), IID_PPV_ARGS(&menu)), S_OK);
    return menu;
  }
  static std::string Entries(const QueryResult& query) {
    std::string entries;
    for (size_t i = 1; i + 1 < query.items.size(); ++i)
      entries += (i > 1 ? " " : "") + std::to_string(query.items[i].id - firstId) + (query.items[i].greyed ? "-" : "");
    return entries;
  }

  TempFolder folder;
  InstallLocationKey userInstall{HKEY_CURRENT_USER, folder.Path()};
  const std::wstring root = folder / L"Sync";
  const std::wstring placeholder = root + L"\\a.txt.tmvs";
  DllUnderTest dll;
};

TEST_F(MenuWorkload, ADoubleClickInsertsNothingAndTouchesNoFileOrKeyAndALaterRightClickStillDoes) {
  MakePlaceholder(placeholder, receiving);
  ComPtr<IContextMenu> menu = NewMenu();
  FileCalls calls(dll.Module());
  ASSERT_TRUE(calls.Installed());
  for (UINT flags : {UINT{CMF_DEFAULTONLY}, UINT{CMF_DEFAULTONLY | CMF_EXPLORE}, UINT{CMF_DEFAULTONLY | CMF_VERBSONLY},
                     UINT{CMF_DEFAULTONLY | CMF_EXTENDEDVERBS}}) {
    const QueryResult query = QueryMenu(menu.Get(), DropDataObject({placeholder}).Get(), flags);
    EXPECT_EQ(query.result, MAKE_HRESULT(SEVERITY_SUCCESS, 0, 0)) << flags;
    EXPECT_EQ(query.items.size(), 2u) << "only the host's items for " << flags;
  }
  EXPECT_EQ(calls.opens + calls.attributeReads, 0);
  EXPECT_EQ(calls.registryOpens, 0);
  const QueryResult query = QueryMenu(menu.Get(), DropDataObject({placeholder}).Get());
  EXPECT_EQ(query.result, shown);
  EXPECT_EQ(Entries(query), "1 3 5-");
}

TEST_F(MenuWorkload, MenuBitmapsAreSharedUntilTheModuleIsIdleAndThenFollowTheIconFilesBesideIt) {
  const std::wstring file = root + L"\\a.txt";
  WriteBytes(file, "content");
  // A copy of the DLL of its own, so that icon files beside it meet no other test.
  TempFolder dllFolder;
  DllCopy copy(dllFolder.Path());
  ASSERT_TRUE(copy.Loaded());
  HMODULE module = LoadLibraryW(copy.Path().c_str());
  const auto canUnloadNow =
      reinterpret_cast<HRESULT(STDAPICALLTYPE*)()>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  const auto bitmapsOf = [](const QueryResult& query) {
    std::vector<HBITMAP> bitmaps;
    for (size_t i = 1; i + 1 < query.items.size(); ++i) bitmaps.push_back(query.items[i].bitmap);
    return bitmaps;
  };

  ComPtr<IContextMenu> first = copy.CreateMenu(), second = copy.CreateMenu();
  const QueryResult firstQuery = QueryMenu(first.Get(), DropDataObject({file}).Get());
  const QueryResult secondQuery = QueryMenu(second.Get(), DropDataObject({file}).Get());
  ASSERT_EQ(Entries(firstQuery), "1 4 5");
  const std::vector<HBITMAP> bitmaps = bitmapsOf(firstQuery);
  EXPECT_EQ(bitmapsOf(secondQuery), bitmaps) << "one set of bitmaps for every menu";
  first.Reset();
  for (HBITMAP bitmap : bitmaps) EXPECT_EQ(GetObjectType(bitmap), DWORD{OBJ_BITMAP}) << "gone with one menu";
  EXPECT_EQ(canUnloadNow(), S_FALSE);
  second.Reset();
  ASSERT_EQ(canUnloadNow(), S_OK);
  for (HBITMAP bitmap : bitmaps) EXPECT_EQ(GetObjectType(bitmap), 0u) << "outlived the module's use";

  for (const wchar_t* name : {L"menu_sync.ico", L"menu_remove.ico", L"menu_destroy.ico", L"menu_stop.ico"})
    ASSERT_TRUE(WriteBytes(dllFolder / name, SolidIconFile(0xFFFF0000)));
  ComPtr<IContextMenu> third = copy.CreateMenu();
  const QueryResult thirdQuery = QueryMenu(third.Get(), DropDataObject({file}).Get());
  for (HBITMAP bitmap : bitmapsOf(thirdQuery)) {
    const Pixels pixels = ReadBitmapPixels(bitmap);
    ASSERT_FALSE(pixels.argb.empty());
    EXPECT_EQ(pixels.At(pixels.width / 2, pixels.height / 2) & 0xFFFFFF, 0xFF0000u)
        << "the icon file written since is drawn";
  }
  third.Reset();
  EXPECT_EQ(canUnloadNow(), S_OK);
  FreeLibrary(module);
}

TEST_F(MenuWorkload, EachRecordIsReadThroughOneOpen) {
  MakePlaceholder(placeholder, receiving);
  ComPtr<IContextMenu> menu = NewMenu();
  FileCalls calls(dll.Module());
  ASSERT_TRUE(calls.Installed());
  EXPECT_EQ(QueryMenu(menu.Get(), DropDataObject({placeholder}).Get()).result, shown);
  EXPECT_EQ(FileCalls::OpensEndingIn(L"a.txt.tmvs:com.tamvera.Sync"), 1u);
  EXPECT_EQ(FileCalls::OpensEndingIn(L"Sync\\.sync\\ID:com.tamvera.Sync"), 1u);
}

TEST_F(MenuWorkload, ASlowSelectionIsReadOnlyWithinTheBudgetAndKeepsEveryEntryThatMightApply) {
  // A placeholder that waits: read alone it offers share, sync and removal everywhere.
  MakePlaceholder(placeholder, waiting);
  ComPtr<IContextMenu> menu = NewMenu();
  FileCalls calls(dll.Module());
  ASSERT_TRUE(calls.Installed());
  FileCalls::openDelayMs = 2;  // 10,000 items read whole would take a minute
  const ULONGLONG start = GetTickCount64();
  const QueryResult query = QueryMenu(menu.Get(), DropDataObject(std::vector<std::wstring>(10000, placeholder)).Get());
  const ULONGLONG elapsed = GetTickCount64() - start;
  FileCalls::openDelayMs = 0;
  EXPECT_EQ(query.result, shown);
  EXPECT_LT(elapsed, 10000u) << "the scan stops at its budget";
  EXPECT_LT(calls.opens.load(), 10000);
  // Unread items might be receiving: cancel shows and removal everywhere is greyed.
  EXPECT_EQ(Entries(query), "1 2 3 4 5-");
  const std::vector<std::wstring> log = LogMessagesOfThisProcess();
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::wstring& line) {
    return line.starts_with(L"Context menu: ") &&
           line.find(L" of 10000 items left unread after 250 ms") != std::wstring::npos;
  }));
}

TEST_F(MenuWorkload, TwentyThousandItemsReachTheApplicationInOnePass) {
  FakeSyncApp app;
  ASSERT_TRUE(app.WaitReady());
  const std::wstring first = root + L"\\a.txt";
  WriteBytes(first, "content");
  std::vector<std::wstring> paths = {first};
  for (int i = 1; i < 20000; ++i) paths.push_back(root + L"\\missing-" + std::to_wstring(i) + L".txt");
  ComPtr<IContextMenu> menu = NewMenu();
  ASSERT_EQ(QueryMenu(menu.Get(), DropDataObject(paths).Get()).result, shown);
  CMINVOKECOMMANDINFO invoke{};
  invoke.cbSize = sizeof invoke;
  invoke.lpVerb = MAKEINTRESOURCEA(1);  // share: one message carrying every path
  const ULONGLONG start = GetTickCount64();
  EXPECT_EQ(menu->InvokeCommand(&invoke), S_OK);
  EXPECT_LT(GetTickCount64() - start, 5000u) << "read per index, the list takes tens of seconds";
  const std::vector<ReceivedMessage> received = app.WaitForMessages(1, 60000);
  ASSERT_EQ(received.size(), 1u);
  EXPECT_EQ(received[0].bytes, std::string(BencEncode(*MakeCommandBatch(CommandAction::Share, paths)[0]).View()));
}

}  // namespace
