// Path vectors, directory trees and the pure readers of the file layer.
#include <windows.h>
#include <gtest/gtest.h>

#include <vector>

#include "support/testfiles.h"
#include "util/canonicalpathvector.h"
#include "util/directorytree.h"
#include "util/folderhandle.h"
#include "util/streaminfowalk.h"

namespace {
TEST(PathVector, SplitsEachFormIntoComponentsAndJoinsBack) {
  const std::tuple<const wchar_t*, std::vector<std::wstring>, const wchar_t*> cases[] = {
      {L"C:\\Users\\me\\f.txt", {L"C:", L"Users", L"me", L"f.txt"}, L"C:\\Users\\me\\f.txt"}, {L"C:\\", {L"C:"}, L"C:"},
      {L"\\\\server\\share\\dir", {L"\\", L"server", L"share", L"dir"}, L"\\\\server\\share\\dir"},
      {L"\\\\?\\C:", {L"\\\\?\\C:"}, L"\\\\?\\C:"}, {L"\\\\?\\C:x", {L"\\\\?\\C:", L"x"}, L"\\\\?\\C:\\x"},
      {L"\\\\?\\UNC\\srv\\shr\\x", {L"\\\\?\\UNC", L"srv", L"shr", L"x"}, L"\\\\?\\UNC\\srv\\shr\\x"},
      {L"\\\\?\\Volume{0a1b}\\x", {}, L""}, {L"a\\\\b\\", {L"a", L"b"}, L"a\\b"},
      {L"\\single\\lead", {L"single", L"lead"}, L"single\\lead"}, {L"a/b", {L"a/b"}, L"a/b"}};
  for (const auto& [text, components, joined] : cases) {
    const PathVector path(text);
    EXPECT_EQ(std::vector<std::wstring>(path.begin(), path.end()), components) << text;
    EXPECT_EQ(path.Join(), joined);
    EXPECT_TRUE(PathVector(path.Join()).Equals(path)) << text;
  }
  EXPECT_FALSE(PathVector(L"C:\\A").Equals(PathVector(L"C:\\a"))) << "components compare case-sensitively";
  EXPECT_FALSE(PathVector(L"C:\\a").Equals(PathVector(L"C:\\a\\b")));
  EXPECT_EQ(TokenVector(L",a,,b,", L',').Join(L';'), L"a;b");
}

TEST(CanonicalPath, ResolvesDotsWithoutClimbingAboveTheRoot) {
  const std::pair<const wchar_t*, const wchar_t*> cases[] = {
      {L"C:\\a\\..\\b\\.\\c", L"C:\\b\\c"}, {L"\\\\?\\C:\\..\\..\\x", L"\\\\?\\C:\\x"},
      {L"\\\\?\\UNC\\srv\\shr\\..\\..\\x", L"\\\\?\\UNC\\srv\\shr\\x"},
      {L"\\\\srv\\shr\\a\\..\\..\\x", L"\\\\srv\\shr\\x"}};
  for (const auto& [path, canonical] : cases) EXPECT_EQ(CanonicalPathVector(path).Join(), canonical);
  wchar_t current[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, current), 0u);
  EXPECT_TRUE(CanonicalPathVector(L"sub\\..\\x").Equals(PathVector(std::wstring(current) + L"\\x"))) << "absolute";
}

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(DirectoryTree, CreatesEveryDirectoryThatEndsInABackslash) {
  TempFolder folder;
  ASSERT_TRUE(CreateDirectoryTree(folder / L"p\\\\q"));
  EXPECT_TRUE(IsDirectory(folder / L"p"));
  EXPECT_FALSE(IsDirectory(folder / L"p\\q")) << "no trailing backslash, no last directory";
  EXPECT_FALSE(CreateDirectoryTree(L"\\\\server-only\\"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_PATHNAME));
  // Share and volume names are never created.
  EXPECT_EQ(DirectoryTreeStart(L"\\\\?\\UNC\\srv\\shr\\x\\"), 16u);
  EXPECT_EQ(DirectoryTreeStart(L"\\\\?\\UNC\\srv"), std::wstring_view::npos);
  EXPECT_EQ(DirectoryTreeStart(L"\\\\?\\Volume{0a1b}\\x\\"), 17u);
  std::wstring path = L"\\\\?\\" + folder.Path();
  for (int level = 0; level < 16; ++level) path += L"\\directory-level-" + std::to_wstring(level);
  ASSERT_TRUE(CreateDirectoryTree(path + L"\\") && CreateDirectoryTree(path + L"\\")) << "existing ones are fine";
  EXPECT_TRUE(path.size() > MAX_PATH && IsDirectory(path));
  ASSERT_TRUE(WriteBytes(path + L"\\leaf.txt", "x") && WriteBytes(folder / L"directory-level-0\\locked.txt", "x"));
  ASSERT_TRUE(SetFileAttributesW((folder / L"directory-level-0\\locked.txt").c_str(), FILE_ATTRIBUTE_READONLY));
  FolderHandle top(L"\\\\?\\" + folder.Path() + L"\\directory-level-0");
  EXPECT_FALSE(top.Delete(false)) << "a directory with content stays";
  EXPECT_TRUE(top.Delete(true)) << "the whole tree, read-only files and paths beyond MAX_PATH included";
  EXPECT_EQ(GetFileAttributesW(top.Path().c_str()), INVALID_FILE_ATTRIBUTES);
}

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes[at++] = static_cast<uint8_t>(value >> shift);
}

// FILE_STREAM_INFORMATION entries, 8-byte aligned and linked in order.
std::vector<uint8_t> Streams(std::initializer_list<std::pair<std::u16string, uint64_t>> entries) {
  std::vector<uint8_t> bytes;
  size_t last = 0;
  for (const auto& [name, size] : entries) {
    bytes.resize((bytes.size() + 7) / 8 * 8);
    const size_t at = bytes.size();
    if (at) PutU32(bytes, last, static_cast<uint32_t>(at - last));
    bytes.resize(at + streamEntryHeaderSize);
    PutU32(bytes, at + 4, static_cast<uint32_t>(name.size() * 2));
    PutU32(bytes, at + 8, static_cast<uint32_t>(size));
    PutU32(bytes, at + 12, static_cast<uint32_t>(size >> 32));
    for (const char16_t unit : name) bytes.insert(bytes.end(), {uint8_t(unit), uint8_t(unit >> 8)});
    last = at;
  }
  return bytes;
}

TEST(StreamWalk, ListsNamedStreamsWithContentAndStopsAtEntriesOutsideTheBuffer) {
  const std::u16string longest(255, u'n');
  const auto bytes = Streams({{u"::$DATA", 99}, {u":" + longest + u":$DATA", 1ull << 33}, {u":b:$DATA", 0},
                              {u"name:$DATA", 5}, {u"::$DATAxx", 5}, {u":c:$INDEX", 5}, {u":a:$DATA", 10}});
  const auto listed = WalkStreamInformation(bytes.data(), bytes.size());
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_TRUE(listed[0].name == longest && listed[0].size == 1ull << 33);
  EXPECT_TRUE(listed[1].name == u"a" && listed[1].size == 10);
  EXPECT_EQ(WalkStreamInformation(bytes.data(), bytes.size() - 2).size(), 1u) << "the last name runs past the end";
  std::vector<uint8_t> one = Streams({{u":a:$DATA", 1}});
  PutU32(one, 0, 0x7fffffff);
  EXPECT_EQ(WalkStreamInformation(one.data(), one.size()).size(), 1u);
  PutU32(one, 4, 0xfffffffe);
  EXPECT_TRUE(WalkStreamInformation(one.data(), one.size()).empty());
  EXPECT_TRUE(WalkStreamInformation(one.data(), streamEntryHeaderSize - 1).empty());
}

// Wine cannot make junctions or directory links: the decision is tested on the entries Windows reports.
TEST(TreeDelete, RemovesLinksWithoutEnteringThem) {
  constexpr DWORD folder = FILE_ATTRIBUTE_DIRECTORY, link = FILE_ATTRIBUTE_REPARSE_POINT;
  using enum TreeEntryAction;
  const std::tuple<DWORD, DWORD, const wchar_t*, TreeEntryAction> cases[] = {
      {FILE_ATTRIBUTE_ARCHIVE, 0, L"file", DeleteFile}, {folder, 0, L".", Skip}, {folder, 0, L"sub", Descend},
      {folder | link, IO_REPARSE_TAG_MOUNT_POINT, L"junction", RemoveLink},
      {folder | link, IO_REPARSE_TAG_SYMLINK, L"link", RemoveLink},
      {link, IO_REPARSE_TAG_SYMLINK, L"filelink", DeleteFile}, {folder | link, 0x9000601A, L"cloud", Descend}};
  for (const auto& [attributes, tag, name, action] : cases) EXPECT_EQ(ClassifyTreeEntry(attributes, tag, name), action);
}
}  // namespace
