// Path vectors keep the long-path and network roots intact so that joining
// gives the path back; directory trees are created along every form.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "support/testfiles.h"
#include "util/canonicalpathvector.h"
#include "util/directorytree.h"
#include "util/handle.h"
#include "util/pathvector.h"

namespace {

struct ParseCase {
  const wchar_t* path;
  std::vector<std::wstring> components;
  const wchar_t* joined;
};

class PathVectorParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(PathVectorParse, SplitsIntoComponentsAndJoinsBack) {
  const ParseCase& example = GetParam();
  const PathVector path(example.path);
  EXPECT_EQ(std::vector<std::wstring>(path.begin(), path.end()), example.components);
  EXPECT_EQ(path.Join(), example.joined);
  EXPECT_TRUE(PathVector(path.Join()).Equals(path)) << "a joined path parses to the same vector";
}

INSTANTIATE_TEST_SUITE_P(
    Forms, PathVectorParse,
    ::testing::Values(ParseCase{L"C:\\Users\\me\\file.txt", {L"C:", L"Users", L"me", L"file.txt"}, L"C:\\Users\\me\\file.txt"},
                      ParseCase{L"C:\\", {L"C:"}, L"C:"},
                      ParseCase{L"\\\\server\\share\\dir", {L"\\", L"server", L"share", L"dir"}, L"\\\\server\\share\\dir"},
                      ParseCase{L"\\\\?\\C:", {L"\\\\?\\C:"}, L"\\\\?\\C:"},
                      ParseCase{L"\\\\?\\C:\\a", {L"\\\\?\\C:", L"a"}, L"\\\\?\\C:\\a"},
                      ParseCase{L"\\\\?\\UNC\\srv\\shr\\x", {L"\\\\?\\UNC", L"srv", L"shr", L"x"}, L"\\\\?\\UNC\\srv\\shr\\x"},
                      ParseCase{L"\\\\?\\Volume{0a1b}\\x", {}, L""},
                      ParseCase{L"a\\\\b\\", {L"a", L"b"}, L"a\\b"},
                      ParseCase{L"\\single\\lead", {L"single", L"lead"}, L"single\\lead"},
                      ParseCase{L"a/b", {L"a/b"}, L"a/b"},
                      ParseCase{L"\\\\?\\C:x", {L"\\\\?\\C:", L"x"}, L"\\\\?\\C:\\x"},
                      ParseCase{L"", {}, L""}));

TEST(PathVector, ComparesComponentsCaseSensitively) {
  EXPECT_FALSE(PathVector(L"C:\\A").Equals(PathVector(L"C:\\a")));
  EXPECT_TRUE(PathVector(L"C:\\a\\").Equals(PathVector(L"C:\\\\a")));
  EXPECT_FALSE(PathVector(L"C:\\a").Equals(PathVector(L"C:\\a\\b")));
  EXPECT_EQ(TokenVector(L",a,,b,", L',').Join(L';'), L"a;b");
}


struct CanonicalCase {
  const wchar_t* path;
  const wchar_t* canonical;
};

class CanonicalPath : public ::testing::TestWithParam<CanonicalCase> {};

TEST_P(CanonicalPath, ResolvesDotsWithoutClimbingAboveTheRoot) {
  EXPECT_EQ(CanonicalPathVector(GetParam().path).Join(), GetParam().canonical);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, CanonicalPath,
    ::testing::Values(CanonicalCase{L"C:\\a\\..\\b\\.\\c", L"C:\\b\\c"},
                      CanonicalCase{L"\\\\?\\C:\\a\\..\\b\\.\\c", L"\\\\?\\C:\\b\\c"},
                      CanonicalCase{L"\\\\?\\C:\\..\\..\\x", L"\\\\?\\C:\\x"},
                      CanonicalCase{L"\\\\?\\UNC\\srv\\shr\\..\\..\\x", L"\\\\?\\UNC\\srv\\shr\\x"},
                      CanonicalCase{L"\\\\srv\\shr\\a\\..\\..\\x", L"\\\\srv\\shr\\x"},
                      CanonicalCase{L"", L""}));

TEST(CanonicalPath, MakesRelativePathsAbsoluteAndComparesThem) {
  wchar_t current[MAX_PATH];
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, current), 0u);
  const CanonicalPathVector relative(L"sub\\..\\x");
  EXPECT_TRUE(relative.IsCanonical());
  EXPECT_TRUE(relative.Equals(PathVector(std::wstring(current) + L"\\x")));
  EXPECT_FALSE(relative.Equals(PathVector(L"C:\\elsewhere\\x")));
}

bool IsDirectory(const std::wstring& path) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST(DirectoryTree, CreatesEveryDirectoryThatEndsInABackslash) {
  TempFolder folder;
  ASSERT_TRUE(CreateDirectoryTree(folder / L"x\\y\\"));
  EXPECT_TRUE(IsDirectory(folder / L"x\\y"));
  EXPECT_TRUE(CreateDirectoryTree(folder / L"x\\y\\")) << "existing directories are fine";
  ASSERT_TRUE(CreateDirectoryTree(folder / L"p\\\\q"));
  EXPECT_TRUE(IsDirectory(folder / L"p"));
  EXPECT_FALSE(IsDirectory(folder / L"p\\q")) << "no trailing backslash, no last directory";
  EXPECT_FALSE(CreateDirectoryTree(L"\\\\server-only\\"));
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BAD_PATHNAME));
  // Roots that cannot be made here: share and volume names are never created.
  EXPECT_EQ(DirectoryTreeStart(L"\\\\?\\UNC\\srv\\shr\\x\\"), 16u);
  EXPECT_EQ(DirectoryTreeStart(L"\\\\?\\UNC\\srv"), std::wstring_view::npos);
  EXPECT_EQ(DirectoryTreeStart(L"\\\\?\\Volume{0a1b}\\x\\"), 17u);
}

TEST(DirectoryTree, CreatesPathsBeyondMaxPathInTheLongForm) {
  TempFolder folder;
  std::wstring path = L"\\\\?\\" + folder.Path();
  for (int level = 0; level < 16; ++level) path += L"\\directory-level-" + std::to_wstring(level);
  ASSERT_GT(path.size(), static_cast<size_t>(MAX_PATH));
  ASSERT_TRUE(CreateDirectoryTree(path + L"\\"));
  EXPECT_TRUE(IsDirectory(path));
  EXPECT_EQ(PathVector(path).Join(), path);
  const auto top = CreateHandle(L"\\\\?\\" + folder.Path() + L"\\directory-level-0", HandleKind::Folder);
  EXPECT_TRUE(top->Delete(true)) << "the tree delete reaches beyond MAX_PATH too";
}

}  // namespace
