// Folder identity and placeholder state read from real streams (Wine keeps
// "file:name" as a file of its own, which is all these readers need).
#include <windows.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/testfiles.h"
#include "syncstate/placeholderstate.h"
#include "syncstate/syncfolder.h"

namespace {
const wchar_t* const current = L"com.tamvera.Sync";
const wchar_t* const older = L"com.quillmarch.sync";
const wchar_t* const counter = L"KVXDOWN";

std::string Status(const std::string& value) { return "d10:kvx_status" + value + "e"; }
std::string Bytes(std::initializer_list<unsigned char> bytes) { return std::string(bytes.begin(), bytes.end()); }

TEST(PlaceholderState, ReadsTheStreamsInTheirOrder) {
  const struct {
    std::vector<std::pair<const wchar_t*, std::string>> streams;
    int32_t progress;
    bool isFolder;
  } cases[] = {
      {{{current, "d10:kvx_statusi57e8:kvx_typei1ee"}}, 55, false},  // rounded down to a step of 5
      {{{current, Status("i100e")}}, 100, false},
      {{{current, Status("i250e")}}, 100, false},
      {{{current, Status("i4e")}}, 0, false},
      {{{current, Status("i4294967295e")}}, -1, false},
      {{{current, Status("i4294967353e")}}, 55, false},  // the low 32 bits
      {{{current, Status("2:57")}}, 0, false},
      {{{current, "d8:kvx_typei2ee"}}, -1, true},
      {{{current, Status("i42e")}, {older, Status("i80e")}, {counter, Bytes({90, 0, 0, 0, 0, 0, 0, 0})}}, 40, false},
      {{{current, ""}, {counter, Bytes({45, 0, 0, 0, 0, 0, 0, 0})}}, -1, false},  // the current name wins, even empty
      {{{older, "d10:kvx_statusi80e8:kvx_typei2ee"}}, 80, true},
      {{{counter, Bytes({45, 0, 0, 0, 1, 0, 0, 0})}}, 45, false},  // 8 bytes, the low 4 counted
      {{{counter, Bytes({45, 0, 0, 0})}}, -1, false},
      {{}, -1, false},
      {{{current, Status("i50e") + std::string(64 * 1024, ' ')}}, -1, false}};  // larger than any record
  for (const auto& c : cases) {
    TempFolder temp;
    const std::wstring file = temp / L"report.pdf.tmvs";
    ASSERT_TRUE(WriteBytes(file, ""));
    for (const auto& [name, content] : c.streams) ASSERT_TRUE(WriteBytes(file + L":" + name, content));
    PlaceholderState state{12, true};
    ReadPlaceholderState(file, state);
    EXPECT_EQ(state.progress, c.progress) << (c.streams.empty() ? "" : c.streams[0].second);
    EXPECT_EQ(state.is_folder, c.isFolder) << (c.streams.empty() ? "" : c.streams[0].second);
  }
  for (const auto& [stored, progress] : {std::pair{5u, 5}, {99u, 95}, {0x7FFFFFFFu, 100}, {0xFFFFFFFEu, 100}}) {
    EXPECT_EQ(RoundProgress(stored), progress) << stored;
  }
}

std::wstring MakeRoot(const std::wstring& path) {
  CreateFolder(path);
  CreateFolder(path + L"\\.sync");
  WriteBytes(path + L"\\.sync\\ID", "");
  return path;
}

std::string Padded(size_t size) {
  const std::string head = "d4:modei1e1:p";
  const size_t padding = size - head.size() - 5 - 2;  // five length digits, ':' and the closing 'e'
  return head + std::to_string(padding) + ":" + std::string(padding, 'x') + "e";
}

TEST(SyncFolderInfo, ReadsTheKeyTableWithItsDefaults) {
  const std::pair<std::string, SyncFolderInfo> cases[] = {
      {"d5:owner7:J\xC3\xBCrgen4:modei1e4:typei2ee", {2, true, false, L"J\u00FCrgen"}},
      {"d31:disable_remove_from_all_devicesi1e4:typei1ee", {1, false, true, L""}},
      {"d4:modei-1ee", {0, true, false, L""}},
      {"d4:modei4294967296ee", {0, false, false, L""}},
      {"d4:typei4294967298ee", {2, false, false, L""}},
      {"d5:owneri5e4:mode1:14:typeli2eee", {}},  // values of the wrong kinds
      {"", {}},
      {"li2ee", {}},
      {Padded(64 * 1024), {0, true, false, L""}},
      {Padded(64 * 1024 + 1), {}}};
  for (const auto& [content, expected] : cases) {
    TempFolder temp;
    const std::wstring root = MakeRoot(temp / L"root");
    ASSERT_TRUE(WriteBytes(root + L"\\.sync\\ID:com.tamvera.Sync", content));
    SyncFolderInfo info{99, true, true, L"stale"};
    ASSERT_TRUE(ReadSyncFolderInfo(root, info));
    EXPECT_EQ(info.type, expected.type) << content.substr(0, 40);
    EXPECT_EQ(info.mode, expected.mode) << content.substr(0, 40);
    EXPECT_EQ(info.disable_remove_from_all_devices, expected.disable_remove_from_all_devices) << content.substr(0, 40);
    EXPECT_EQ(info.owner, expected.owner) << content.substr(0, 40);
  }
}

TEST(SyncFolderInfo, CurrentStreamWinsEvenWhenEmptyAndTheOlderOneIsTheFallback) {
  TempFolder temp;
  const std::wstring root = MakeRoot(temp / L"root");
  SyncFolderInfo info;
  info.owner = L"kept";
  EXPECT_FALSE(ReadSyncFolderInfo(root, info));
  EXPECT_EQ(info.owner, L"kept");
  ASSERT_TRUE(WriteBytes(root + L"\\.sync\\ID:_TYPE", "d4:typei7ee"));
  ASSERT_TRUE(ReadSyncFolderInfo(root, info));
  EXPECT_EQ(info.type, 7u);
  ASSERT_TRUE(WriteBytes(root + L"\\.sync\\ID:com.tamvera.Sync", ""));
  ASSERT_TRUE(ReadSyncFolderInfo(root, info));
  EXPECT_EQ(info.type, 0u);
}

TEST(SyncFolderRoot, IsTheNearestEnclosingFolderWithAMarkerFile) {
  TempFolder temp;
  CreateFolder(temp / L".sync\\ID");
  EXPECT_FALSE(IsSyncFolderRoot(temp.Path())) << "a marker folder is no marker";
  const std::wstring outer = MakeRoot(temp / L"outer"), inner = MakeRoot(outer + L"\\inner");
  CreateFolder(inner + L"\\docs");
  EXPECT_EQ(FindSyncFolderRoot(inner + L"\\docs\\a.txt"), inner);
  EXPECT_EQ(FindSyncFolderRoot(outer + L"\\b.txt"), outer);
  EXPECT_EQ(FindSyncFolderRoot(inner), outer) << "a root inside a root";
  EXPECT_EQ(FindSyncFolderRoot(outer), L"") << "never the path itself";
  EXPECT_EQ(FindSyncFolderRoot(L"a.txt"), L"");
  // A network path stops at its share: above it the marker would name a
  // server or the current drive.
  const std::pair<const wchar_t*, std::vector<std::wstring>> walks[] = {
      {L"D:\\Sync\\Docs\\a.txt", {L"D:\\Sync\\Docs", L"D:\\Sync", L"D:"}},
      {L"a.txt", {}},
      {L"\\\\server\\share\\Docs\\a.txt", {L"\\\\server\\share\\Docs", L"\\\\server\\share"}},
      {L"\\\\server\\share", {}},
      {L"\\\\?\\C:\\Sync\\a.txt", {L"\\\\?\\C:\\Sync", L"\\\\?\\C:"}},
      {L"\\\\?\\UNC\\srv\\shr\\x\\a", {L"\\\\?\\UNC\\srv\\shr\\x", L"\\\\?\\UNC\\srv\\shr"}},
      {L"\\Users\\me", {L"\\Users", L""}},
      {L"C:\\a\\\\b", {L"C:\\a\\", L"C:\\a", L"C:"}}};
  for (const auto& [path, expected] : walks) {
    std::vector<std::wstring> candidates;
    for (const size_t length : SyncRootCandidates(path)) candidates.push_back(std::wstring(path).substr(0, length));
    EXPECT_EQ(candidates, expected) << path;
  }
}
}  // namespace
