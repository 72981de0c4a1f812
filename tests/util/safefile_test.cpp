// Whole-file reads and safe replacement, including writes that fail or stop
// short, and the file guard of bencoded files with its exact stored bytes.
#include <windows.h>

#include <gtest/gtest.h>

#include <set>

#include "channel/bencentity.h"
#include "support/importhook.h"
#include "support/testfiles.h"
#include "util/fileguard.h"
#include "util/safefile.h"

namespace {

std::set<std::wstring> Names(const TempFolder& folder) {
  std::set<std::wstring> names;
  WIN32_FIND_DATAW entry;
  HANDLE find = FindFirstFileW((folder / L"*").c_str(), &entry);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    if (entry.cFileName[0] != L'.') names.insert(entry.cFileName);
  } while (FindNextFileW(find, &entry));
  FindClose(find);
  return names;
}

std::string Read(const std::wstring& path) {
  const WholeFile file = ReadWholeFile(path);
  return file.ok ? std::string(file.data.get(), file.size) : "<failed>";
}

TEST(ReadWholeFile, ReadsEveryByteFollowedByANul) {
  TempFolder folder;
  ASSERT_TRUE(WriteBytes(folder / L"empty", ""));
  const WholeFile empty = ReadWholeFile(folder / L"empty");
  ASSERT_TRUE(empty.ok);
  EXPECT_EQ(empty.size, 0u);
  EXPECT_EQ(empty.data[0], '\0');
  ASSERT_TRUE(WriteBytes(folder / L"bytes", std::string("a\0b", 3)));
  EXPECT_EQ(Read(folder / L"bytes"), std::string("a\0b", 3));
  EXPECT_FALSE(ReadWholeFile(folder / L"missing").ok);
  EXPECT_FALSE(ReadWholeFile(folder.Path()).ok);
}

// The hooks call the system through the saved original: the import slot
// they replace is also the one a direct call would take.
using GetFileSizeExFunction = BOOL(WINAPI*)(HANDLE, PLARGE_INTEGER);
using WriteFileFunction = BOOL(WINAPI*)(HANDLE, LPCVOID, DWORD, LPDWORD, LPOVERLAPPED);
GetFileSizeExFunction originalGetFileSizeEx = nullptr;
WriteFileFunction originalWriteFile = nullptr;

LONGLONG reportedExtra = 0;
BOOL WINAPI GrowingFileSize(HANDLE file, PLARGE_INTEGER size) {
  if (!originalGetFileSizeEx(file, size)) return FALSE;
  size->QuadPart += reportedExtra;
  return TRUE;
}

TEST(ReadWholeFile, RefusesSizesItCannotReadInFull) {
  TempFolder folder;
  ASSERT_TRUE(WriteBytes(folder / L"file", "content"));
  ImportHook hook(GetModuleHandleW(nullptr), "kernel32.dll", "GetFileSizeEx",
                  reinterpret_cast<void*>(&GrowingFileSize));
  ASSERT_TRUE(hook.Installed());
  originalGetFileSizeEx = reinterpret_cast<GetFileSizeExFunction>(hook.Original());
  for (const LONGLONG extra : {10LL, 5LL << 30, (1LL << 62)}) {
    reportedExtra = extra;
    EXPECT_FALSE(ReadWholeFile(folder / L"file").ok) << "a file smaller than its size is a failure: " << extra;
  }
}

// A disk that takes at most budget bytes, then fails or stops accepting.
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

struct FailedWriteCase {
  bool targetExists;
  bool failOutright;
  size_t budget;
};

class FailedSafeWrite : public ::testing::TestWithParam<FailedWriteCase> {};

TEST_P(FailedSafeWrite, KeepsTheTargetAndLeavesNoSideFile) {
  TempFolder folder;
  const std::wstring path = folder / L"target.txt";
  if (GetParam().targetExists) {
    ASSERT_TRUE(WriteBytes(path, "old content"));
  }
  const std::string content(100, 'n');
  {
    ImportHook hook(GetModuleHandleW(nullptr), "kernel32.dll", "WriteFile",
                    reinterpret_cast<void*>(&LimitedWriteFile));
    ASSERT_TRUE(hook.Installed());
    originalWriteFile = reinterpret_cast<WriteFileFunction>(hook.Original());
    writeBudget = GetParam().budget;
    failOutright = GetParam().failOutright;
    EXPECT_FALSE(WriteFileSafely(path, content.data(), content.size()));
    if (!failOutright) {
      EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_DISK_FULL));
    }
  }
  if (GetParam().targetExists) {
    EXPECT_EQ(ReadBytes(path), "old content");
    EXPECT_EQ(Names(folder), std::set<std::wstring>{L"target.txt"});
  } else {
    EXPECT_TRUE(Names(folder).empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Failures, FailedSafeWrite,
                         ::testing::Values(FailedWriteCase{true, true, 0}, FailedWriteCase{true, false, 40},
                                           FailedWriteCase{false, false, 99}));

TEST(WriteFileSafely, WritesNewAndReplacesExistingFilesWithoutLeftovers) {
  TempFolder folder;
  const std::wstring path = folder / L"target.txt";
  ASSERT_TRUE(WriteFileSafely(path, "first", 5));
  EXPECT_EQ(ReadBytes(path), "first");
  ASSERT_TRUE(WriteFileSafely(path, "second version", 14));
  EXPECT_EQ(ReadBytes(path), "second version");
  ASSERT_TRUE(WriteFileSafely(path, nullptr, 0));
  EXPECT_EQ(ReadBytes(path), "");
  EXPECT_EQ(Names(folder), std::set<std::wstring>{L"target.txt"});
  EXPECT_FALSE(WriteFileSafely(folder.Path(), "x", 1)) << "a directory is no file to replace";
}

// A replace that fails after moving the target to its backup name, as
// ReplaceFileW may; the copy that follows succeeds or fails as asked.
bool copySucceeds = true;
BOOL WINAPI FailingReplace(LPCWSTR target, LPCWSTR, LPCWSTR backup, DWORD, LPVOID, LPVOID) {
  MoveFileW(target, backup);
  SetLastError(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2);
  return FALSE;
}
using CopyFileWFunction = BOOL(WINAPI*)(LPCWSTR, LPCWSTR, BOOL);
CopyFileWFunction originalCopyFileW = nullptr;
BOOL WINAPI ChosenCopy(LPCWSTR from, LPCWSTR to, BOOL failIfExists) {
  if (copySucceeds) return originalCopyFileW(from, to, failIfExists);
  SetLastError(ERROR_SHARING_VIOLATION);
  return FALSE;
}

class FailedReplace : public ::testing::TestWithParam<bool> {};

TEST_P(FailedReplace, EndsWithOneWholeTargetAndNoSideFiles) {
  TempFolder folder;
  const std::wstring path = folder / L"target.txt";
  ASSERT_TRUE(WriteBytes(path, "old content"));
  copySucceeds = GetParam();
  {
    ImportHook replace(GetModuleHandleW(nullptr), "kernel32.dll", "ReplaceFileW", reinterpret_cast<void*>(&FailingReplace));
    ImportHook copy(GetModuleHandleW(nullptr), "kernel32.dll", "CopyFileW", reinterpret_cast<void*>(&ChosenCopy));
    ASSERT_TRUE(replace.Installed() && copy.Installed());
    originalCopyFileW = reinterpret_cast<CopyFileWFunction>(copy.Original());
    EXPECT_EQ(WriteFileSafely(path, "new", 3), copySucceeds);
  }
  EXPECT_EQ(ReadBytes(path), copySucceeds ? "new" : "old content");
  EXPECT_EQ(Names(folder), std::set<std::wstring>{L"target.txt"});
}

INSTANTIATE_TEST_SUITE_P(Copies, FailedReplace, ::testing::Bool());

TEST(CopyFileSafely, ReplacesTheTargetWithoutLeftovers) {
  TempFolder folder;
  ASSERT_TRUE(WriteBytes(folder / L"source", "new"));
  ASSERT_TRUE(WriteBytes(folder / L"target", "old"));
  EXPECT_TRUE(CopyFileSafely(folder / L"source", folder / L"target"));
  EXPECT_EQ(ReadBytes(folder / L"target"), "new");
  EXPECT_FALSE(CopyFileSafely(folder / L"missing", folder / L"target"));
  EXPECT_EQ(ReadBytes(folder / L"target"), "new");
  EXPECT_EQ(Names(folder), (std::set<std::wstring>{L"source", L"target"}));
}

const std::string deDigest = "600CCD1B71569232D01D110BC63E906BEAB04D8C";
const std::string valueDigest = "F07B49D80353D8BC839CB1B2782F2EB8FC1CCDD2";  // of d1:ai1ee

TEST(FileGuard, StoresTheDigestAsTheFirstDictionaryEntry) {
  TempFolder folder;
  const std::wstring path = folder / L"state.dat";
  ASSERT_TRUE(WriteGuardedFile(path, "de", 2));
  EXPECT_EQ(ReadBytes(path), "d10:.fileguard40:" + deDigest + "e");
  DWORD error = 99;
  const WholeFile plain = ReadGuardedFile(path, error);
  ASSERT_TRUE(plain.ok);
  EXPECT_EQ(std::string(plain.data.get(), plain.size), "de");
  EXPECT_EQ(plain.data[plain.size], '\0');
  EXPECT_EQ(error, 0u);

  ASSERT_TRUE(WriteGuardedFile(path, "plain text", 10));
  EXPECT_EQ(ReadBytes(path), "plain text") << "only dictionaries get a header";
}

struct StoredCase {
  std::string stored;
  bool ok;
  std::string plain;
  DWORD error;
  int loadResult;
};

class GuardedRead : public ::testing::TestWithParam<StoredCase> {};

TEST_P(GuardedRead, ConfirmsTheDigestOfWhatItReturns) {
  TempFolder folder;
  const std::wstring path = folder / L"state.dat";
  ASSERT_TRUE(WriteBytes(path, GetParam().stored));
  DWORD error = 99;
  const WholeFile file = ReadGuardedFile(path, error);
  EXPECT_EQ(file.ok, GetParam().ok);
  EXPECT_EQ(error, GetParam().error);
  if (file.ok) {
    EXPECT_EQ(std::string(file.data.get(), file.size), GetParam().plain);
  }
  BencEntity value;
  EXPECT_EQ(LoadBencodedFile(path, value), GetParam().loadResult);
  EXPECT_EQ(ReadBytes(path), GetParam().stored) << "reading never changes the file";
}

INSTANTIATE_TEST_SUITE_P(
    Stored, GuardedRead,
    ::testing::Values(StoredCase{"d10:.fileguard40:" + valueDigest + "1:ai1ee", true, "d1:ai1ee", 0, 0},
                      StoredCase{"d10:file_guard40:" + valueDigest + "1:ai1ee", true, "d1:ai1ee", 0, 0},
                      StoredCase{"d10:.fileguard40:f07b49d80353d8bc839cb1b2782f2eb8fc1ccdd21:ai1ee", true, "d1:ai1ee", 0, 0},
                      StoredCase{"d10:.fileguard40:" + valueDigest + "1:ai2ee", false, "", 2, 5},
                      StoredCase{"d10:.fileguard40:" + valueDigest.substr(0, 39) + "x1:ai1ee", false, "", 2, 5},
                      StoredCase{"d10:.fileguard40:XYZ", true, "d10:.fileguard40:XYZ", 0, 4},
                      StoredCase{"d1:ai1eeTRAILING", true, "d1:ai1eeTRAILING", 0, 4},
                      StoredCase{"l1:ae", true, "l1:ae", 0, 0}));

TEST(FileGuard, LoadTellsMissingFromUnreadable) {
  TempFolder folder;
  BencEntity value;
  EXPECT_EQ(LoadBencodedFile(folder / L"missing", value), 2);
  EXPECT_EQ(LoadBencodedFile(folder.Path(), value), 2);
}

TEST(FileGuard, SaveKeepsThePreviousContentAsOld) {
  TempFolder folder;
  const std::wstring path = folder / L"state.dat";
  ASSERT_TRUE(WriteBytes(path, "previous"));
  ASSERT_TRUE(SaveBencodedFile(path, "d1:ai1ee", 8));
  EXPECT_EQ(ReadBytes(path), "d10:.fileguard40:" + valueDigest + "1:ai1ee");
  EXPECT_EQ(ReadBytes(folder / L"state.dat.old"), "previous");
  EXPECT_EQ(Names(folder), (std::set<std::wstring>{L"state.dat", L"state.dat.old"}));
  EXPECT_FALSE(SaveBencodedFile(path, "d1:a", 4)) << "content that does not read back is not saved";
  EXPECT_EQ(ReadBytes(path), "d10:.fileguard40:" + valueDigest + "1:ai1ee");
}

}  // namespace
