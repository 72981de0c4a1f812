// Handles and file information under Wine; precondition failures end the process.
#include <windows.h>
#include <gtest/gtest.h>

#include "support/childprocess.h"
#include "support/importhook.h"
#include "support/testfiles.h"
#include "util/fileinfo.h"
#include "util/handle.h"
#include "util/ntdllimports.h"
#include "util/strfmt.h"

namespace {
DWORD Attributes(const std::wstring& path) { return GetFileAttributesW(path.c_str()); }
const char* const missing = "<missing>";

TEST(FileHandle, OpenModesFollowTheirTable) {
  using enum OpenMode;
  const std::tuple<OpenMode, const char*, bool, const char*> cases[] = {  // content after writing "xy" when open
      {Read, "abc", true, "abc"}, {Read, missing, false, missing}, {ReadWrite, "abc", true, "xyc"},
      {ReadWrite, missing, true, "xy"}, {Truncate, "abc", true, "xy"}, {Attributes, "abc", true, "abc"},
      {Attributes, missing, false, missing}, {Append, "abc", true, "abcxy"}, {Append, missing, true, "xy"},
      {ReadWriteExisting, "abc", true, "xyc"}, {ReadWriteExisting, missing, false, missing},
      {CreateNew, "abc", false, "abc"}, {CreateNew, missing, true, ""}, {OpenMode(7), "abc", false, "abc"},
      {Closed, "abc", false, "abc"}};
  for (const auto& [mode, before, opens, after] : cases) {
    TempFolder folder;
    const std::wstring path = folder / L"file.bin";
    ASSERT_TRUE(before == missing || WriteBytes(path, before));
    const auto handle = CreateHandle(path, HandleKind::File);
    EXPECT_EQ(handle->Open(mode, false), opens) << int(mode) << before;
    EXPECT_EQ(handle->LastError() == ERROR_SUCCESS, opens);
    if (opens && IsWritableMode(mode)) handle->Write("xy", 2);
    handle->Close();
    EXPECT_EQ(::Attributes(path) == INVALID_FILE_ATTRIBUTES ? missing : ReadBytes(path), after) << int(mode);
  }
}

// Wine running as root opens read-only files for writing; the hook refuses
// them the way Windows does.
decltype(&CreateFileW) originalCreateFileW;
HANDLE WINAPI WindowsCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                 DWORD disposition, DWORD flags, HANDLE templateFile) {
  const DWORD attributes = Attributes(name);
  if ((access & GENERIC_WRITE) && attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_READONLY)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE;
  }
  return originalCreateFileW(name, access, share, security, disposition, flags, templateFile);
}

TEST(FileHandle, WritableOpenClearsReadOnlyAndAppendsAtTheEnd) {
  ImportHook hook(GetModuleHandleW(nullptr), "kernel32.dll", "CreateFileW", (void*)&WindowsCreateFileW);
  ASSERT_TRUE(hook.Installed());
  originalCreateFileW = reinterpret_cast<decltype(&CreateFileW)>(hook.Original());
  TempFolder folder;
  const std::wstring path = folder / L"locked.txt";
  ASSERT_TRUE(WriteBytes(path, "abc") && SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY));
  const auto handle = CreateHandle(path, HandleKind::File);
  ASSERT_TRUE(handle->Open(OpenMode::Read, false));
  EXPECT_TRUE(Attributes(path) & FILE_ATTRIBUTE_READONLY) << "reading leaves the attribute alone";
  ASSERT_TRUE(handle->Open(OpenMode::Append, false));
  EXPECT_EQ(handle->Write("d", 1), 1u);
  handle->Close();
  EXPECT_EQ(ReadBytes(path), "abcd");
}

TEST(FileHandle, ReadsWritesAndSizesAtOffsets) {
  TempFolder folder;
  const std::wstring path = folder / L"data.bin";
  const auto handle = CreateHandle(path, HandleKind::File);
  ASSERT_TRUE(handle->Open(OpenMode::ReadWrite, false));
  EXPECT_TRUE(handle->WriteAt("hello", 5, 0) == 5 && handle->WriteAt("J", 1, 0) == 1 && handle->SetSize(4));
  char buffer[8] = {};
  EXPECT_EQ(handle->ReadAt(buffer, sizeof buffer, 1), 3u);
  EXPECT_STREQ(buffer, "ell");
  handle->Close();
  EXPECT_EQ(handle->GetSize(), 4u) << "the size is read by path while closed";
  EXPECT_GT(handle->GetModifiedTime(), 1600000000);
  EXPECT_TRUE(handle->Delete(false));
  EXPECT_EQ(handle->GetModifiedTime(), 0) << "a missing file has no time";
  EXPECT_FALSE(handle->Delete(false));
  EXPECT_EQ(handle->LastError(), static_cast<DWORD>(ERROR_FILE_NOT_FOUND));
  EXPECT_EQ(CreateHandle(path, HandleKind::PlainFile)->GetKind(), HandleKind::File) << "kind 4 makes a file handle";
}

TEST(StreamHandle, AddressesTheStreamThroughItsFilesPath) {
  TempFolder folder;
  ASSERT_TRUE(WriteBytes(folder / L"file.txt", "host"));
  const auto stream = CreateHandle(folder / L"file.txt\\name", HandleKind::Stream);
  EXPECT_EQ(stream->GetName(), L"name");
  EXPECT_EQ(stream->GetModifiedTime(), -1);
  ASSERT_TRUE(stream->Open(OpenMode::Truncate, false));
  EXPECT_EQ(stream->Write("stream data", 11), 11u);
  stream->Close();
  EXPECT_EQ(ReadBytes(folder / L"file.txt:name"), "stream data");
  EXPECT_EQ(stream->GetSize(), 11u);
  EXPECT_TRUE(stream->Delete(false));
  EXPECT_FALSE(CreateHandle(std::wstring(L"name"), HandleKind::Stream)->Open(OpenMode::Read, false)) << "no host";
}

TEST(CopyFrom, CopiesTheWholeSourceOrLeavesAnEmptyDestination) {
  using enum HandleKind;
  const std::tuple<HandleKind, HandleKind, const char*, bool, const char*> cases[] = {
      {File, File, "file data", true, "file data"}, {File, Stream, "stream data", true, "stream data"},
      {File, Stream, "", false, ""},                {File, Folder, "data", false, "old content"},
      {Stream, File, "file data", true, "file data"}, {Stream, Stream, "", false, ""}};
  for (const auto& [to, from, content, copies, after] : cases) {
    TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder / L"host.txt", "host") && WriteBytes(folder / L"source.txt", content) &&
                WriteBytes(folder / L"host.txt:src", content) && WriteBytes(folder / L"dest.txt", "old content") &&
                WriteBytes(folder / L"host.txt:dst", "old content"));
    const auto destination = CreateHandle(folder / (to == Stream ? L"host.txt\\dst" : L"dest.txt"), to);
    EXPECT_EQ(destination->CopyFrom(folder / (from == File ? L"source.txt" : L"host.txt\\src"), from), copies);
    EXPECT_EQ(ReadBytes(folder / (to == Stream ? L"host.txt:dst" : L"dest.txt")), after) << content;
  }
}

TEST(FileInfo, FindsOnlyTheNameInItsOwnLetterCase) {
  TempFolder folder;
  ASSERT_TRUE(WriteBytes(folder / L"File.txt", "12345"));
  EXPECT_EQ(FileInfo(folder / L"File.txt").info.nFileSizeLow, 5u);
  for (const wchar_t* other : {L"file.txt", L"FILE.TXT", L"Fil*.txt", L"missing.txt"}) {
    const FileInfo info(folder / other);
    EXPECT_FALSE(info.Found()) << other;
    EXPECT_EQ(info.lastError, static_cast<DWORD>(ERROR_FILE_NOT_FOUND)) << other;
  }
  EXPECT_GT(FileInfo(folder / L"File.txt").LastWriteSeconds(), 1600000000u);
}

TEST(FileTimes, CountFrom1970AndAreZeroBefore) {
  EXPECT_EQ(FileTimeToUnixSeconds(UnixTimeToFileTime(1000000000)), 1000000000u);
  EXPECT_EQ(FileTimeToUnixSeconds(UnixTimeToFileTime(-1)), 0u) << "seconds since 1970 cannot be negative";
  const FILETIME epoch = UnixTimeToFileTime(0);
  EXPECT_EQ((uint64_t{epoch.dwHighDateTime} << 32) | epoch.dwLowDateTime, 116444736000000000ull);
  const auto stamp = [](const SYSTEMTIME& t) {
    return FormatString("%d-%02d-%02d %02d:%02d:%02d", t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond);
  };
  const LocalTime start = UnixTimeToLocalTime(0);
  EXPECT_EQ(stamp(start.utc), "1970-01-01 00:00:00");
  EXPECT_EQ(stamp(UnixTimeToLocalTime(-1).utc), "1969-12-31 23:59:59");
  SYSTEMTIME local{};
  EXPECT_TRUE(SystemTimeToTzSpecificLocalTime(nullptr, &start.utc, &local) && stamp(local) == stamp(start.local));
  const FILETIME lowest = UnixTimeToFileTime(INT64_MIN), highest = UnixTimeToFileTime(INT64_MAX);
  EXPECT_EQ(lowest.dwHighDateTime | lowest.dwLowDateTime, 0u) << "clamped to 1601";
  EXPECT_TRUE(highest.dwHighDateTime > 0x7F000000u && highest.dwHighDateTime < 0x80000000u) << "clamped, not wrapped";
}

// Each ends the process; the Precondition test runs them in a child.
TEST(DISABLED_PreconditionChild, KindZero) { CreateHandle(L"C:\\x", static_cast<HandleKind>(0)); }
TEST(DISABLED_PreconditionChild, KindSix) { CreateHandle(L"C:\\x", static_cast<HandleKind>(6)); }
TEST(DISABLED_PreconditionChild, CreateOnOpenFile) {
  TempFolder folder;
  const auto handle = CreateHandle(folder / L"open.txt", HandleKind::File);
  handle->Open(OpenMode::ReadWrite, false);
  handle->Create();
}

TEST(Precondition, ReportsItsAssertionLineAndEndsTheProcess) {
  const std::pair<const wchar_t*, const char*> cases[] = {
      {L"KindZero", "\nassert failed handle:39 (33947648)\n"}, {L"KindSix", "\nassert failed handle:39 (33947648)\n"},
      {L"CreateOnOpenFile", "\nassert failed handle:410 (33947648)\n"}};
  wchar_t program[MAX_PATH];
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  for (const auto& [test, line] : cases) {
    TempFolder folder;
    ChildProcess child(L"\"" + std::wstring(program) +
                           L"\" --gtest_also_run_disabled_tests --gtest_filter=DISABLED_PreconditionChild." + test,
                       folder / L"child.txt");
    const DWORD code = child.Wait(60000);
    EXPECT_TRUE(code != STILL_ACTIVE && code != 0) << code;
    EXPECT_NE(ReadBytes(folder / L"child.txt").find(line), std::string::npos) << ReadBytes(folder / L"child.txt");
  }
}
}  // namespace
