// File information by path: the exact-case lookup, final paths beyond
// MAX_PATH, the Unix-time conversions and the security strings.
#include <windows.h>

#include <gtest/gtest.h>

#include "support/importhook.h"
#include "support/testfiles.h"
#include "util/fileinfo.h"
#include "util/ntdllimports.h"
#include "util/securitystrings.h"
#include "util/uniquehandle.h"

namespace {

TEST(FileInfo, FindsOnlyTheNameInItsOwnLetterCase) {
  TempFolder folder;
  ASSERT_TRUE(WriteBytes(folder / L"File.txt", "12345"));
  const FileInfo exact(folder / L"File.txt");
  EXPECT_TRUE(exact.Found());
  EXPECT_EQ(exact.info.nFileSizeLow, 5u);
  EXPECT_FALSE(exact.info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  for (const wchar_t* other : {L"file.txt", L"FILE.TXT", L"Fil*.txt", L"missing.txt"}) {
    const FileInfo info(folder / other);
    EXPECT_FALSE(info.Found()) << other;
    EXPECT_EQ(info.lastError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << other;
  }
  EXPECT_TRUE(FileInfo(folder.Path()).info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

void SetLastWrite(const std::wstring& path, const FILETIME& time) {
  const UniqueFile file(CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  ASSERT_TRUE(file.Valid());
  ASSERT_TRUE(SetFileTime(file.Get(), nullptr, nullptr, &time));
}

TEST(FileInfo, LastWriteSecondsCountFrom1970AndAreZeroBefore) {
  TempFolder folder;
  const std::wstring path = folder / L"dated.txt";
  ASSERT_TRUE(WriteBytes(path, "x"));
  SetLastWrite(path, UnixTimeToFileTime(1000000000));
  EXPECT_EQ(FileInfo(path).LastWriteSeconds(), 1000000000u);
  SetLastWrite(path, UnixTimeToFileTime(-86400 * 365));
  EXPECT_EQ(FileInfo(path).LastWriteSeconds(), 0u);
  EXPECT_EQ(FileInfo(folder / L"missing").LastWriteSeconds(), 0u);
}

TEST(UnixTime, ConvertsAtTheEpochAndBeforeIt) {
  const FILETIME epoch = UnixTimeToFileTime(0);
  EXPECT_EQ((static_cast<uint64_t>(epoch.dwHighDateTime) << 32) | epoch.dwLowDateTime, 116444736000000000ull);
  EXPECT_EQ(FileTimeToUnixSeconds(epoch), 0u);

  const LocalTime start = UnixTimeToLocalTime(0);
  EXPECT_EQ(start.unixSeconds, 0);
  EXPECT_EQ(start.utc.wYear * 10000 + start.utc.wMonth * 100 + start.utc.wDay, 19700101);
  EXPECT_EQ(start.utc.wHour + start.utc.wMinute + start.utc.wSecond, 0);
  SYSTEMTIME local{};
  ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &start.utc, &local));
  EXPECT_EQ(memcmp(&local, &start.local, sizeof local), 0);

  const LocalTime before = UnixTimeToLocalTime(-1);
  EXPECT_EQ(before.utc.wYear * 10000 + before.utc.wMonth * 100 + before.utc.wDay, 19691231);
  EXPECT_EQ(before.utc.wSecond, 59);
  EXPECT_EQ(FileTimeToUnixSeconds(UnixTimeToFileTime(-1)), 0u) << "seconds since 1970 cannot be negative";

  const FILETIME lowest = UnixTimeToFileTime(INT64_MIN);
  EXPECT_EQ(lowest.dwHighDateTime | lowest.dwLowDateTime, 0u) << "clamped to 1601";
  const FILETIME highest = UnixTimeToFileTime(INT64_MAX);
  EXPECT_LT(highest.dwHighDateTime, 0x80000000u) << "clamped, not wrapped";
  EXPECT_GT(highest.dwHighDateTime, 0x7F000000u);
}

// Windows answers a short buffer with the size it needs; Wine fails every
// path beyond MAX_PATH with ERROR_MORE_DATA, so the hook plays Windows.
std::wstring finalPath;
bool alwaysGrowing = false;
DWORD WINAPI WindowsFinalPath(HANDLE, LPWSTR buffer, DWORD size, DWORD) {
  const DWORD needed = static_cast<DWORD>(finalPath.size()) + 1 + (alwaysGrowing ? size : 0);
  if (size < needed) return needed;
  finalPath.copy(buffer, finalPath.size());
  buffer[finalPath.size()] = L'\0';
  return static_cast<DWORD>(finalPath.size());
}

TEST(FileInfo, FinalPathGrowsItsBufferBeyondMaxPath) {
  TempFolder folder;
  ASSERT_TRUE(WriteBytes(folder / L"Final.txt", "x"));
  const UniqueFile file(CreateFileW((folder / L"Final.txt").c_str(), 0, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  ASSERT_TRUE(file.Valid());
  EXPECT_TRUE(GetPathOnDiskByHandle(file.Get()).ends_with(L"\\Final.txt"));

  ImportHook hook(GetModuleHandleW(nullptr), "kernel32.dll", "GetFinalPathNameByHandleW",
                  reinterpret_cast<void*>(&WindowsFinalPath));
  ASSERT_TRUE(hook.Installed());
  for (const size_t length : {MAX_PATH - 1, MAX_PATH, MAX_PATH + 1, 32000}) {
    finalPath = L"\\\\?\\C:\\" + std::wstring(length - 7, L'x');
    EXPECT_EQ(GetPathOnDiskByHandle(file.Get()), finalPath) << length;
  }
  alwaysGrowing = true;
  EXPECT_EQ(GetPathOnDiskByHandle(file.Get()), L"") << "a path that keeps growing is given up";
  alwaysGrowing = false;
}

TEST(SecurityStrings, SpellOutOwnerGroupAndAccessList) {
  TempFolder folder;
  SecurityStrings record;
  const DWORD status = GetSecurityStrings(folder.Path(), record);
  if (status != ERROR_SUCCESS) GTEST_SKIP() << "no security descriptors here: " << status;
  EXPECT_TRUE(record.owner.starts_with(L"O:S-")) << record.owner;
  EXPECT_TRUE(record.group.starts_with(L"G:S-")) << record.group;
  EXPECT_TRUE(record.accessList.starts_with(L"D:")) << record.accessList;
  EXPECT_NE(GetSecurityStrings(folder / L"missing", record), 0u);
}

}  // namespace
