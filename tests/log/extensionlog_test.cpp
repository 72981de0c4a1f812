// The extension log in this process: switch values, line layout, the
// application's folder, rotation, and several processes sharing one log.
// This process reads its switch from the machine root (registryRoot); the
// per-user switch is held off, so DLL hosts of other tests stay quiet.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "log/extensionlog.h"
#include "log/logtestsupport.h"
#include "module/modulestate.h"
#include "support/childprocess.h"
#include "support/dllundertest.h"
#include "support/testfiles.h"

namespace {

constexpr uint64_t rotationSize = 104857600;
using Messages = std::vector<std::wstring>;

// UTF-16 bytes of "yyyy-mm-dd hh:mm:ss.000 (tag) message\r\n".
uint64_t LineBytes(const std::wstring& message) {
  return (23 + 2 + OwnSourceTag().size() + 2 + message.size() + 2) * sizeof(wchar_t);
}

uint64_t FileSize(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
  return static_cast<uint64_t>(data.nFileSizeHigh) << 32 | data.nFileSizeLow;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class ExtensionLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    registryRoot = HKEY_LOCAL_MACHINE;
    userSwitch.SetDword(0);
    logSwitch.Remove();
  }
  void TearDown() override { DestroyExtensionLog(); }

  Messages Logged(const std::wstring& path) const { return MessagesOf(ReadLogLines(path), OwnSourceTag()); }

  LogSwitch userSwitch{HKEY_CURRENT_USER};
  LogSwitch logSwitch{HKEY_LOCAL_MACHINE};
  LogFolder folder;
};

struct SwitchCase {
  const char* name;
  DWORD type;  // REG_NONE: no value at all
  std::vector<BYTE> data;
  bool on;
};

class SwitchValues : public ExtensionLogTest, public ::testing::WithParamInterface<SwitchCase> {};

TEST_P(SwitchValues, OnlyADwordZeroTurnsTheLogOff) {
  if (GetParam().type != REG_NONE) logSwitch.Set(GetParam().type, GetParam().data);
  LogMessage(L"before the log exists");
  CreateExtensionLog();
  EXPECT_EQ(RefreshLogSwitch(), GetParam().on);
  LogMessage(L"probe %d", 7);
  DestroyExtensionLog();
  if (GetParam().on) {
    EXPECT_EQ(Logged(folder.LogPath()), (Messages{L"=== start ===", L"probe 7", L"==== end ===="}));
  } else {
    EXPECT_FALSE(Exists(folder.LogPath())) << "an off log creates no file";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Values, SwitchValues,
    ::testing::Values(SwitchCase{"Missing", REG_NONE, {}, true},
                      SwitchCase{"DwordZero", REG_DWORD, {0, 0, 0, 0}, false},
                      SwitchCase{"DwordOne", REG_DWORD, {1, 0, 0, 0}, true},
                      SwitchCase{"StringZero", REG_SZ, {'0', 0, 0, 0}, true},
                      SwitchCase{"ShortDword", REG_DWORD, {0, 0}, true},
                      SwitchCase{"QwordZero", REG_QWORD, std::vector<BYTE>(8, 0), true},
                      SwitchCase{"LargeBinary", REG_BINARY, std::vector<BYTE>(70000, 0), true}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ExtensionLogTest, LinesCarryLocalTimeHostAndProcessInUtf16WithoutMark) {
  SYSTEMTIME now;
  GetLocalTime(&now);
  CreateExtensionLog();
  LogMessage(L"Drawing circle with %d status for %s", 55, L"caf\u00e9.txt");
  DestroyExtensionLog();

  EXPECT_EQ(ReadBytes(folder.LogPath()).substr(0, 2), std::string("2\0", 2)) << "no byte-order mark";
  const std::vector<LogLine> lines = ReadLogLines(folder.LogPath());
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[1].message, L"Drawing circle with 55 status for caf\u00e9.txt");
  wchar_t today[16];
  swprintf(today, 16, L"%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
  for (const LogLine& line : lines) {
    ASSERT_TRUE(line.wellFormed) << Utf8(line.text);
    EXPECT_EQ(line.tag, OwnSourceTag());
    EXPECT_EQ(line.timestamp.substr(0, 10), today) << "local date (unless run at midnight)";
    EXPECT_EQ(line.timestamp.substr(19), L".000");
  }
}

TEST_F(ExtensionLogTest, NeverCreatesTheApplicationFolderAndRetriesTheOpen) {
  ASSERT_TRUE(RemoveDirectoryW(folder.Folder().c_str()));
  CreateExtensionLog();
  EXPECT_FALSE(RefreshLogSwitch());
  LogMessage(L"lost");
  EXPECT_FALSE(Exists(folder.Folder()));

  ASSERT_TRUE(CreateDirectoryW(folder.Folder().c_str(), nullptr));
  EXPECT_TRUE(RefreshLogSwitch());
  LogMessage(L"kept");
  EXPECT_EQ(Logged(folder.LogPath()), (Messages{L"=== start ===", L"kept"}));
}

class Rotation : public ExtensionLogTest, public ::testing::WithParamInterface<bool> {};

TEST_P(Rotation, FollowsTheFirstLineBeyondTheLimit) {
  const bool oldGenerationPresent = GetParam();
  if (oldGenerationPresent) {
    ASSERT_TRUE(WriteBytes(folder.OldPath(), "previous generation"));
  }
  // Sparse, so that the start banner fills it to exactly the limit.
  ASSERT_TRUE(WriteBytes(folder.LogPath(), {}));
  HANDLE file = CreateFileW(folder.LogPath().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  LARGE_INTEGER end;
  end.QuadPart = static_cast<LONGLONG>(rotationSize - LineBytes(L"=== start ==="));
  ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));
  CloseHandle(file);

  CreateExtensionLog();
  EXPECT_EQ(FileSize(folder.LogPath()), rotationSize) << "a file of exactly the limit stays";
  LogMessage(L"over the limit");
  EXPECT_EQ(Logged(folder.LogPath()), Messages{L"=== start ==="});
  if (oldGenerationPresent) {
    EXPECT_EQ(ReadBytes(folder.OldPath()), "previous generation") << "the old generation is never replaced";
  } else {
    EXPECT_EQ(FileSize(folder.OldPath()), rotationSize + LineBytes(L"over the limit") + LineBytes(L"==== end ===="));
    EXPECT_EQ(MessagesOf(ReadLogLines(folder.OldPath(), rotationSize), OwnSourceTag()),
              (Messages{L"over the limit", L"==== end ===="}));
  }
}

INSTANTIATE_TEST_SUITE_P(OldGeneration, Rotation, ::testing::Bool());

TEST_F(ExtensionLogTest, GoesOnInTheNewFileWhenAnotherProcessRotated) {
  CreateExtensionLog();
  LogMessage(L"before");
  ASSERT_TRUE(MoveFileExW(folder.LogPath().c_str(), folder.OldPath().c_str(), 0));
  const std::wstring foreign = L"2026-01-01 00:00:00.000 (other.exe:1) === start ===\r\n";
  ASSERT_TRUE(WriteBytes(folder.LogPath(),
                         std::string(reinterpret_cast<const char*>(foreign.data()), foreign.size() * 2)));

  LogMessage(L"after");
  EXPECT_EQ(Logged(folder.OldPath()), (Messages{L"=== start ===", L"before"}));
  EXPECT_EQ(MessagesOf(ReadLogLines(folder.LogPath()), L"other.exe:1"), Messages{L"=== start ==="});
  EXPECT_EQ(Logged(folder.LogPath()), (Messages{L"=== start ===", L"after"}));
}

TEST_F(ExtensionLogTest, ProcessesAndThreadsWritingAtOnceLoseAndTearNoLine) {
  constexpr int writers = 2, threads = 3, linesPerThread = 60;
  const std::string eventName = "LogWriterStart" + std::to_string(GetCurrentProcessId());
  HANDLE start = CreateEventA(nullptr, TRUE, FALSE, eventName.c_str());
  std::vector<std::unique_ptr<ChildProcess>> children;
  for (int writer = 0; writer < writers; ++writer) {
    children.push_back(std::make_unique<ChildProcess>(L"\"" + ProgramDirectory() + L"\\logwriter.exe\" " +
                                                      std::to_wstring(writer) + L" " + std::to_wstring(threads) +
                                                      L" " + std::to_wstring(linesPerThread) + L" " + Wide(eventName)));
  }
  // Hosts of other tests may have lines in the log as well.
  auto writerLines = [&] {
    std::vector<LogLine> lines = ReadLogLines(folder.LogPath());
    std::erase_if(lines, [](const LogLine& line) { return line.tag.find(L"logwriter.exe:") != 0; });
    return lines;
  };
  auto banners = [&](const wchar_t* banner) {
    int count = 0;
    for (const LogLine& line : writerLines()) count += line.message == banner;
    return count;
  };
  ASSERT_TRUE(WaitUntil([&] { return banners(L"=== start ===") == writers; }, 60000)) << "all writers opened the log";
  SetEvent(start);
  for (auto& child : children) EXPECT_EQ(child->Wait(300000), 0u);
  CloseHandle(start);

  const std::wstring padding = std::wstring(150, L'x') + L"\u00e9";
  std::map<std::wstring, int> seen;
  for (const LogLine& line : ReadLogLines(folder.LogPath())) {
    ASSERT_TRUE(line.wellFormed) << "torn line: " << Utf8(line.text);
  }
  for (const LogLine& line : writerLines()) {
    if (line.message.find(L"writer ") == 0) ++seen[line.message];
  }
  for (int writer = 0; writer < writers; ++writer) {
    for (int thread = 0; thread < threads; ++thread) {
      for (int number = 0; number < linesPerThread; ++number) {
        const std::wstring message = L"writer " + std::to_wstring(writer) + L" thread " + std::to_wstring(thread) +
                                     L" line " + std::to_wstring(number) + L" " + padding;
        EXPECT_EQ(seen[message], 1) << writer << " " << thread << " " << number;
      }
    }
  }
  EXPECT_EQ(seen.size(), static_cast<size_t>(writers * threads * linesPerThread));
  EXPECT_EQ(banners(L"==== end ===="), writers);
}

}  // namespace
