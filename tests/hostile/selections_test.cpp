// Selections Explorer or another host may hand over: drop lists with odd
// headers, names in the ANSI code page or with lone surrogates, paths up to
// and beyond the long-path limit, thousands of placeholders, items that
// vanish before the command. Each call ends within the bound and gives the
// menu and the messages a sound reading of the list gives.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "support/fakeapp.h"
#include "hostile/hostilesupport.h"
#include "support/testfiles.h"

namespace {

using Entries = std::vector<std::pair<UINT, bool>>;
const Entries shareOnly = {{1, false}};
constexpr HRESULT shown = MAKE_HRESULT(SEVERITY_SUCCESS, 0, 6);

std::string Benc(const std::string& bytes) { return std::to_string(bytes.size()) + ":" + bytes; }
std::string ShareMessage(const std::vector<std::string>& utf8Paths) {
  std::string files;
  for (const std::string& path : utf8Paths) files += Benc(path);
  return "d6:actioni7e5:filesl" + files + "e4:lasti1ee";
}

// A DROPFILES header with the given offset of the names and width flag,
// followed by the bytes as they are.
std::string RawList(uint32_t namesOffset, bool wide, const std::string& names) {
  DROPFILES header{};
  header.pFiles = namesOffset;
  header.fWide = wide;
  return std::string(reinterpret_cast<const char*>(&header), sizeof header) + names;
}

struct SelectionCase {
  const char* name;
  std::function<std::string(const std::wstring& base)> list;  // the drop list's bytes
  HRESULT result;
  Entries entries;
  // The share message the command sends.
  std::function<std::vector<std::string>(const std::wstring& base)> shared;
};

std::wstring LongPath(const std::wstring& base, size_t length) {
  std::wstring path = L"\\\\?\\" + base + L"\\";
  path.append(length - path.size(), L'y');
  return path;
}

class Selections : public ::testing::TestWithParam<SelectionCase>, protected UserInstalledDll {};

TEST_P(Selections, AreReadSoundlyForTheMenuAndTheMessages) {
  const SelectionCase& param = GetParam();
  FakeSyncApp app;
  ASSERT_TRUE(app.WaitReady());
  const ComPtr<IDataObject> selection = RawDropDataObject(param.list(folder.Path()));
  ComPtr<IContextMenu> menu;
  ASSERT_EQ(dll.CreateObject(TestClassId(0), IID_PPV_ARGS(&menu)), S_OK);
  const QueryResult query = Bounded("QueryContextMenu", [&] { return QueryMenu(menu.Get(), selection.Get()); });
  EXPECT_EQ(query.result, param.result);
  Entries entries;
  for (size_t i = 1; i + 1 < query.items.size(); ++i)
    entries.emplace_back(query.items[i].id - firstId, query.items[i].greyed);
  EXPECT_EQ(entries, param.entries);

  EXPECT_EQ(Bounded("InvokeCommand", [&] { return InvokeOffset(menu.Get(), 1); }), S_OK);
  menu.Reset();
  EXPECT_TRUE(WaitUntil([&] { return dll.CanUnloadNow() == S_OK; }, callLimitMs)) << "the delivery ended";
  const std::vector<std::string> expected = param.shared(folder.Path());
  std::vector<std::string> received;
  for (const ReceivedMessage& message : app.WaitForMessages(expected.size(), 5000)) received.push_back(message.bytes);
  EXPECT_EQ(received, expected);
}

// A declined list keeps no selection: the share command lists no path.
const auto emptyShare = [](const std::wstring&) { return std::vector{ShareMessage({})}; };

INSTANTIATE_TEST_SUITE_P(
    Lists, Selections,
    ::testing::Values(
        SelectionCase{"PathOfExactlyTheLongPathLimit",
                      [](const std::wstring& b) { return DropListBytes({LongPath(b, 32767)}); }, shown, shareOnly,
                      [](const std::wstring& b) { return std::vector{ShareMessage({Utf8(LongPath(b, 32767))})}; }},
        SelectionCase{"PathBeyondTheLongPathLimitIsLeftOut",
                      [](const std::wstring& b) {
                        return DropListBytes({LongPath(b, 70000), b + L"\\a.txt"});
                      },
                      shown, shareOnly,
                      [](const std::wstring& b) { return std::vector{ShareMessage({Utf8(b + L"\\a.txt")})}; }},
        SelectionCase{"LoneSurrogatesBecomeReplacementCharacters",
                      [](const std::wstring& b) {
                        return DropListBytes({b + L"\\a\xD800"
                                                  L"b\xDC00.txt"});
                      },
                      shown, shareOnly,
                      [](const std::wstring& b) {
                        return std::vector{ShareMessage({Utf8(b) + "\\a\xEF\xBF\xBD"
                                                                   "b\xEF\xBF\xBD.txt"})};
                      }},
        SelectionCase{
            "NamesInTheAnsiCodePage",
            [](const std::wstring& b) { return RawList(20, false, Utf8(b) + "\\plain.txt" + std::string(2, '\0')); },
            shown, shareOnly,
            [](const std::wstring& b) { return std::vector{ShareMessage({Utf8(b) + "\\plain.txt"})}; }},
        SelectionCase{"NamesOffsetBeyondTheMemory",
                      [](const std::wstring&) { return RawList(0xFFFFFFF0u, true, std::string(8, '\0')); },
                      E_NOTIMPL,
                      {},
                      emptyShare},
        SelectionCase{
            "HeaderWithoutNames", [](const std::wstring&) { return RawList(20, true, ""); }, E_NOTIMPL, {}, emptyShare},
        SelectionCase{
            "LessThanAHeader", [](const std::wstring&) { return std::string(10, '\0'); }, E_NOTIMPL, {}, emptyShare},
        SelectionCase{"NamesOffsetInsideTheHeader",
                      [](const std::wstring&) { return RawList(4, true, std::string(4, '\0')); }, shown, shareOnly,
                      emptyShare}),
    [](const auto& info) { return std::string(info.param.name); });

class SelectionFixture : public ::testing::Test, protected UserInstalledDll {};

TEST_F(SelectionFixture, TenThousandPlaceholdersAreEachReadWithinTheBound) {
  const std::wstring root = folder / L"Sync";
  MakeSyncRoot(root, FolderRecord(2, 1, CurrentUser()));
  // Only the very last item is being received: the cancel entry shows
  // because every item was read, or because the scan ran out of time and
  // the unread items might be received (removal here then shows too).
  std::vector<std::wstring> paths;
  for (int i = 0; i < 50; ++i) {
    paths.push_back(root + L"\\p" + std::to_wstring(i) + L".docx.tmvs");
    MakePlaceholder(paths.back(), i == 49 ? "d10:kvx_statusi35ee" : "de");
  }
  const std::wstring receiving = paths.back();
  paths.pop_back();
  for (size_t i = paths.size(); i < 9999; ++i) paths.push_back(paths[i % 49]);
  paths.push_back(receiving);
  const MenuSnapshot menu = SnapshotMenu(dll, DropDataObject(paths).Get());
  EXPECT_EQ(menu.result, shown);
  const Entries allRead{{1, false}, {2, false}, {3, false}, {5, true}};
  const Entries budgetSpent{{1, false}, {2, false}, {3, false}, {4, false}, {5, true}};
  EXPECT_TRUE(menu.entries == allRead || menu.entries == budgetSpent) << ::testing::PrintToString(menu);
}

TEST_F(SelectionFixture, ItemsThatVanishBeforeTheCommandAreStillSentAndNothingWaits) {
  FakeSyncApp app;
  ASSERT_TRUE(app.WaitReady());
  const std::wstring root = folder / L"Sync";
  MakeSyncRoot(root, FolderRecord(2, 1, CurrentUser()));
  const std::vector<std::wstring> paths = {root + L"\\a.txt", root + L"\\w.tmvs", root + L"\\Docs"};
  WriteBytes(paths[0], "content");
  MakePlaceholder(paths[1], "de");
  CreateFolder(paths[2]);
  ComPtr<IContextMenu> menu;
  ASSERT_EQ(dll.CreateObject(TestClassId(0), IID_PPV_ARGS(&menu)), S_OK);
  ASSERT_EQ(QueryMenu(menu.Get(), DropDataObject(paths).Get()).result, shown);
  DeleteTree(root);
  ASSERT_EQ(GetFileAttributesW(root.c_str()), INVALID_FILE_ATTRIBUTES);
  EXPECT_EQ(Bounded("InvokeCommand", [&] { return InvokeOffset(menu.Get(), 4); }), S_OK);
  menu.Reset();
  EXPECT_TRUE(WaitUntil([&] { return dll.CanUnloadNow() == S_OK; }, callLimitMs));
  std::vector<std::string> received;
  for (const ReceivedMessage& message : app.WaitForMessages(3, 5000)) received.push_back(message.bytes);
  std::vector<std::string> expected;
  for (size_t i = 0; i < paths.size(); ++i)
    expected.push_back("d6:actioni5e" + std::string(i + 1 == paths.size() ? "4:lasti1e" : "") + "4:path" +
                       Benc(Utf8(paths[i])) + "e");
  EXPECT_EQ(received, expected);
}

TEST_F(SelectionFixture, CommandsWithoutAnyMenuRequestSendNoPath) {
  FakeSyncApp app;
  ASSERT_TRUE(app.WaitReady());
  for (UINT offset = 1; offset <= 5; ++offset) {
    ComPtr<IContextMenu> menu;
    ASSERT_EQ(dll.CreateObject(TestClassId(0), IID_PPV_ARGS(&menu)), S_OK);
    EXPECT_EQ(Bounded("InvokeCommand", [&] { return InvokeOffset(menu.Get(), offset); }), S_OK);
  }
  EXPECT_TRUE(WaitUntil([&] { return dll.CanUnloadNow() == S_OK; }, callLimitMs));
  Sleep(300);
  for (const ReceivedMessage& message : app.Received()) EXPECT_EQ(message.bytes, ShareMessage({}));
}

}  // namespace
