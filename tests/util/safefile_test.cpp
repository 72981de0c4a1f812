// Whole-file reads, safe replacement when writes fail or stop short, and the file guard.
#include <windows.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "bencode/bencentity.h"
#include "support/importhook.h"
#include "support/testfiles.h"
#include "util/fileguard.h"

namespace {
std::set<std::wstring> Names(const TempFolder& folder) {
  std::set<std::wstring> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder.Path())) names.insert(entry.path().filename());
  return names;
}

// The hooks call the saved original: the import slot they replace is also the one a direct call takes.
decltype(&GetFileSizeEx) originalGetFileSizeEx;
LONGLONG reportedExtra = 0;
BOOL WINAPI GrowingFileSize(HANDLE file, PLARGE_INTEGER size) {
  if (!originalGetFileSizeEx(file, size)) return FALSE;
  size->QuadPart += reportedExtra;
  return TRUE;
}

TEST(ReadWholeFile, ReadsEveryByteFollowedByANulAndRefusesSizesItCannotRead) {
  TempFolder folder;
  ASSERT_TRUE(WriteBytes(folder / L"empty", "") && WriteBytes(folder / L"bytes", std::string("a\0b", 3)));
  const WholeFile empty = ReadWholeFile(folder / L"empty"), bytes = ReadWholeFile(folder / L"bytes");
  ASSERT_TRUE(empty.ok && bytes.ok);
  EXPECT_EQ(std::string(empty.data.get(), empty.size + 1), std::string(1, '\0'));
  EXPECT_EQ(std::string(bytes.data.get(), bytes.size + 1), std::string("a\0b\0", 4));
  EXPECT_FALSE(ReadWholeFile(folder / L"missing").ok || ReadWholeFile(folder.Path()).ok);
  ImportHook hook(GetModuleHandleW(nullptr), "kernel32.dll", "GetFileSizeEx", (void*)&GrowingFileSize);
  originalGetFileSizeEx = reinterpret_cast<decltype(&GetFileSizeEx)>(hook.Original());
  for (const LONGLONG extra : {10LL, 5LL << 30, (1LL << 62)}) {
    reportedExtra = extra;
    EXPECT_FALSE(ReadWholeFile(folder / L"bytes").ok) << "a file smaller than its size is a failure: " << extra;
  }
}

// A disk that takes at most budget bytes, then fails or stops accepting.
decltype(&WriteFile) originalWriteFile;
size_t writeBudget = 0;
bool failOutright = false;
BOOL WINAPI LimitedWriteFile(HANDLE file, LPCVOID data, DWORD length, LPDWORD written, LPOVERLAPPED overlapped) {
  if (failOutright && writeBudget == 0) {
    *written = 0;
    SetLastError(ERROR_DISK_FULL);
    return FALSE;
  }
  const DWORD allowed = static_cast<DWORD>(std::min<size_t>(length, writeBudget));
  writeBudget -= allowed;
  return originalWriteFile(file, data, allowed, written, overlapped);
}

TEST(WriteFileSafely, ReplacesTheTargetWholeOrNotAtAllAndLeavesNoSideFile) {
  TempFolder folder;
  const std::wstring path = folder / L"target.txt";
  ASSERT_TRUE(WriteFileSafely(path, "first", 5) && WriteFileSafely(path, "second version", 14));
  EXPECT_EQ(ReadBytes(path), "second version");
  ASSERT_TRUE(WriteBytes(folder / L"source", "new") && CopyFileSafely(folder / L"source", path));
  EXPECT_FALSE(CopyFileSafely(folder / L"missing", path));
  EXPECT_EQ(ReadBytes(path), "new");
  EXPECT_EQ(Names(folder), (std::set<std::wstring>{L"source", L"target.txt"}));
  EXPECT_FALSE(WriteFileSafely(folder.Path(), "x", 1)) << "a directory is no file to replace";
  for (const auto& [exists, outright, budget] : {std::tuple{true, true, 0}, {true, false, 40}, {false, false, 99}}) {
    TempFolder other;
    const std::wstring target = other / L"target.txt";
    ASSERT_TRUE(!exists || WriteBytes(target, "old content"));
    {
      ImportHook hook(GetModuleHandleW(nullptr), "kernel32.dll", "WriteFile", (void*)&LimitedWriteFile);
      originalWriteFile = reinterpret_cast<decltype(&WriteFile)>(hook.Original());
      writeBudget = budget;
      failOutright = outright;
      EXPECT_FALSE(WriteFileSafely(target, std::string(100, 'n').data(), 100));
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    }
    EXPECT_EQ(Names(other), exists ? std::set<std::wstring>{L"target.txt"} : std::set<std::wstring>{});
    EXPECT_EQ(ReadBytes(target), exists ? "old content" : "");
  }
}

const std::string deStored = "d10:.fileguard40:600CCD1B71569232D01D110BC63E906BEAB04D8Ce";
const std::string valueDigest = "F07B49D80353D8BC839CB1B2782F2EB8FC1CCDD2";  // of d1:ai1ee

TEST(FileGuard, StoresTheDigestAsTheFirstDictionaryEntry) {
  TempFolder folder;
  const std::wstring path = folder / L"state.dat";
  ASSERT_TRUE(WriteGuardedFile(path, "de", 2));
  EXPECT_EQ(ReadBytes(path), deStored);
  ASSERT_TRUE(WriteGuardedFile(path, "plain text", 10));
  EXPECT_EQ(ReadBytes(path), "plain text") << "only dictionaries get a header";

  ASSERT_TRUE(WriteBytes(path, "previous"));
  ASSERT_TRUE(SaveBencodedFile(path, "d1:ai1ee", 8));
  EXPECT_EQ(ReadBytes(folder / L"state.dat.old"), "previous");
  EXPECT_EQ(Names(folder), (std::set<std::wstring>{L"state.dat", L"state.dat.old"}));
  EXPECT_FALSE(SaveBencodedFile(path, "d1:a", 4)) << "content that does not read back is not saved";
  EXPECT_EQ(ReadBytes(path), "d10:.fileguard40:" + valueDigest + "1:ai1ee");
  BencEntity value;
  EXPECT_EQ(LoadBencodedFile(folder / L"missing", value), 2);
  EXPECT_EQ(LoadBencodedFile(folder.Path(), value), 2);
}

TEST(FileGuard, ReadConfirmsTheDigestOfWhatItReturns) {
  const std::string header = "d10:.fileguard40:";
  const std::tuple<std::string, bool, std::string, DWORD, int> cases[] = {
      {deStored, true, "de", 0, 0},
      {header + valueDigest + "1:ai1ee", true, "d1:ai1ee", 0, 0},
      {"d10:file_guard40:" + valueDigest + "1:ai1ee", true, "d1:ai1ee", 0, 0},  // the older key
      {header + "f07b49d80353d8bc839cb1b2782f2eb8fc1ccdd21:ai1ee", true, "d1:ai1ee", 0, 0},
      {header + valueDigest + "1:ai2ee", false, "", 2, 5},
      {header + valueDigest.substr(0, 39) + "x1:ai1ee", false, "", 2, 5},
      {header + "XYZ", true, header + "XYZ", 0, 4},  // under 57 bytes: returned unchanged
      {"l1:ae", true, "l1:ae", 0, 0}};
  for (const auto& [stored, ok, plain, error, loadResult] : cases) {
    TempFolder folder;
    const std::wstring path = folder / L"state.dat";
    ASSERT_TRUE(WriteBytes(path, stored));
    DWORD readError = 99;
    const WholeFile file = ReadGuardedFile(path, readError);
    const std::string read = file.ok ? std::string(file.data.get(), file.size + 1) : "<failed>";
    EXPECT_EQ(read, ok ? plain + '\0' : "<failed>") << stored;
    EXPECT_EQ(readError, error) << stored;
    BencEntity value;
    EXPECT_EQ(LoadBencodedFile(path, value), loadResult) << stored;
    EXPECT_EQ(ReadBytes(path), stored) << "reading never changes the file";
  }
}
}  // namespace
