// Folder identity: which folder is a root, which root holds a path, and what
// the root's record says, read from real streams.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/testfiles.h"
#include "syncstate/syncfolder.h"

namespace {

// A folder with a .sync\ID marker file.
std::wstring MakeRoot(const std::wstring& path) {
  CreateFolder(path);
  CreateFolder(path + L"\\.sync");
  WriteBytes(path + L"\\.sync\\ID", "");
  return path;
}

std::string Sparse(uint64_t size) { return "sparse:" + std::to_string(size); }

// Writes the stream; a "sparse:N" content makes a stream of N zero bytes
// without writing them.
void WriteStream(const std::wstring& stream, const std::string& content) {
  if (content.rfind("sparse:", 0) != 0) {
    ASSERT_TRUE(WriteBytes(stream, content));
    return;
  }
  HANDLE file = CreateFileW(stream.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  LARGE_INTEGER size;
  size.QuadPart = static_cast<LONGLONG>(std::stoull(content.substr(7)));
  EXPECT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file));
  CloseHandle(file);
}

struct RecordCase {
  const char* name;
  std::string content;
  SyncFolderInfo expected;
};

class IdentityRecord : public ::testing::TestWithParam<RecordCase> {};

TEST_P(IdentityRecord, ReadsTheKeyTableWithItsDefaults) {
  TempFolder temp;
  const std::wstring root = MakeRoot(temp / L"root");
  WriteStream(root + L"\\.sync\\ID:com.tamvera.Sync", GetParam().content);
  SyncFolderInfo info;
  info.type = 99;
  info.mode = true;
  info.owner = L"stale";
  ASSERT_TRUE(ReadSyncFolderInfo(root, info));
  const SyncFolderInfo& expected = GetParam().expected;
  EXPECT_EQ(info.type, expected.type);
  EXPECT_EQ(info.mode, expected.mode);
  EXPECT_EQ(info.disable_remove_from_all_devices, expected.disable_remove_from_all_devices);
  EXPECT_EQ(info.owner, expected.owner);
}

std::string Nested(size_t depth) {
  return "d5:owner2:me4:type" + std::string("i3e") + "1:z" + std::string(depth, 'l') + std::string(depth, 'e') + "e";
}

std::string Padded(size_t size) {
  const std::string head = "d4:modei1e1:p";
  const size_t padding = size - head.size() - 5 - 2;  // five length digits, ':' and the closing 'e'
  return head + std::to_string(padding) + ":" + std::string(padding, 'x') + "e";
}

INSTANTIATE_TEST_SUITE_P(
    Contents, IdentityRecord,
    ::testing::Values(
        RecordCase{"AllKeys", "d5:owner7:J\xC3\xBCrgen4:modei1e4:typei2ee", {2, true, false, L"J\u00FCrgen"}},
        RecordCase{"RemoveDisabled", "d31:disable_remove_from_all_devicesi1e4:typei1ee", {1, false, true, L""}},
        RecordCase{"ModeMinusOne", "d4:modei-1ee", {0, true, false, L""}},
        RecordCase{"ModeOnlyBit32", "d4:modei4294967296ee", {0, false, false, L""}},
        RecordCase{"TypeLow32Bits", "d4:typei4294967298ee", {2, false, false, L""}},
        RecordCase{"WrongKinds", "d5:owneri5e4:mode1:14:typeli2eee", {0, false, false, L""}},
        RecordCase{"Empty", "", {}},
        RecordCase{"OneByte", "d", {}},
        RecordCase{"List", "li2ee", {}},
        RecordCase{"NotBencode", "\xFF\xFE{\"type\":2}", {}},
        RecordCase{"DeeplyNested", Nested(20000), {3, false, false, L"me"}},
        RecordCase{"LargestRecord", Padded(64 * 1024), {0, true, false, L""}},
        RecordCase{"LargerThanARecord", Padded(64 * 1024 + 1), {}},
        RecordCase{"ClaimsFourGigabytes", Sparse(4ull << 30), {}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IdentityStreams, CurrentNameWinsEvenWhenEmptyAndOlderNameIsTheFallback) {
  TempFolder temp;
  const std::wstring root = MakeRoot(temp / L"root");
  const std::wstring marker = root + L"\\.sync\\ID";

  SyncFolderInfo untouched;
  untouched.owner = L"kept";
  EXPECT_FALSE(ReadSyncFolderInfo(root, untouched));
  EXPECT_EQ(untouched.owner, L"kept");

  ASSERT_TRUE(WriteBytes(marker + L":_TYPE", "d4:typei7ee"));
  SyncFolderInfo fallback;
  ASSERT_TRUE(ReadSyncFolderInfo(root, fallback));
  EXPECT_EQ(fallback.type, 7u);

  ASSERT_TRUE(WriteBytes(marker + L":com.tamvera.Sync", ""));
  SyncFolderInfo current;
  ASSERT_TRUE(ReadSyncFolderInfo(root, current));
  EXPECT_EQ(current.type, 0u);
}

TEST(SyncFolderRoot, MarkerMustBeAFile) {
  TempFolder temp;
  EXPECT_FALSE(IsSyncFolderRoot(temp.Path()));
  CreateFolder(temp / L".sync");
  CreateFolder(temp / L".sync\\ID");
  EXPECT_FALSE(IsSyncFolderRoot(temp.Path()));
  EXPECT_TRUE(IsSyncFolderRoot(MakeRoot(temp / L"real")));
}

TEST(SyncFolderRoot, NearestEnclosingRootNeverThePathItself) {
  TempFolder temp;
  const std::wstring outer = MakeRoot(temp / L"outer");
  const std::wstring inner = MakeRoot(outer + L"\\inner");
  CreateFolder(inner + L"\\docs");
  WriteBytes(inner + L"\\docs\\a.txt", "x");
  WriteBytes(outer + L"\\b.txt", "x");

  EXPECT_EQ(FindSyncFolderRoot(inner + L"\\docs\\a.txt"), inner);
  EXPECT_EQ(FindSyncFolderRoot(outer + L"\\b.txt"), outer);
  EXPECT_EQ(FindSyncFolderRoot(inner), outer) << "a root inside a root";
  EXPECT_EQ(FindSyncFolderRoot(outer), L"");
  EXPECT_EQ(FindSyncFolderRoot(L"a.txt"), L"");
}

struct WalkCase {
  const wchar_t* path;
  std::vector<std::wstring> candidates;
};

class RootWalk : public ::testing::TestWithParam<WalkCase> {};

TEST_P(RootWalk, TestsEachEnclosingFolderNearestFirst) {
  const std::wstring path = GetParam().path;
  std::vector<std::wstring> candidates;
  for (size_t length : SyncRootCandidates(path)) candidates.push_back(path.substr(0, length));
  EXPECT_EQ(candidates, GetParam().candidates);
}

INSTANTIATE_TEST_SUITE_P(
    Paths, RootWalk,
    ::testing::Values(WalkCase{L"D:\\Sync\\Docs\\a.txt", {L"D:\\Sync\\Docs", L"D:\\Sync", L"D:"}},
                      WalkCase{L"a.txt", {}},
                      WalkCase{L"", {}},
                      // A network path stops at its share: above it the
                      // marker would name a server or the current drive.
                      WalkCase{L"\\\\server\\share\\Docs\\a.txt", {L"\\\\server\\share\\Docs", L"\\\\server\\share"}},
                      WalkCase{L"\\\\server\\share", {}},
                      WalkCase{L"\\\\?\\C:\\Sync\\a.txt", {L"\\\\?\\C:\\Sync", L"\\\\?\\C:"}},
                      WalkCase{L"\\\\?\\UNC\\srv\\shr\\x\\a", {L"\\\\?\\UNC\\srv\\shr\\x", L"\\\\?\\UNC\\srv\\shr"}},
                      WalkCase{L"\\Users\\me", {L"\\Users", L""}},
                      WalkCase{L"C:\\a\\\\b", {L"C:\\a\\", L"C:\\a", L"C:"}}));

}  // namespace
