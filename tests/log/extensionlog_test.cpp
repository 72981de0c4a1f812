// The extension log in this process: line layout, rotation, and several
// processes sharing one log. This process reads its switch from
// the machine root; the per-user switch is held off, so DLL hosts of other
// tests stay quiet.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "log/extensionlog.h"
#include "support/logfiles.h"
#include "util/settingsroot.h"
#include "support/childprocess.h"
#include "support/testfiles.h"

namespace {
constexpr uint64_t rotationSize = 104857600;
using Messages = std::vector<std::wstring>;

// UTF-16 bytes of "yyyy-mm-dd hh:mm:ss.000 (tag) message\r\n".
uint64_t LineBytes(const std::wstring& message) {
  return (23 + 2 + OwnSourceTag().size() + 2 + message.size() + 2) * sizeof(wchar_t);
}

class ExtensionLogTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UseMachineSettings();
    userSwitch.SetDword(0);
    logSwitch.Remove();
  }
  void TearDown() override { DestroyExtensionLog(); }
  Messages Logged(const std::wstring& path) const { return MessagesOf(ReadLogLines(path), OwnSourceTag()); }

  LogSwitch userSwitch{HKEY_CURRENT_USER}, logSwitch{HKEY_LOCAL_MACHINE};
  LogFolder folder;
};

// The switch values: extensionlog_dll_test.cpp, through the DLL.
TEST_F(ExtensionLogTest, LinesCarryLocalTimeSourceTagAndMessageInUtf16WithoutMark) {
  LogMessage(L"before the log exists");
  SYSTEMTIME now;
  GetLocalTime(&now);
  CreateExtensionLog();
  LogMessage(L"probe %d for %s", 7, L"caf\u00e9.txt");
  DestroyExtensionLog();
  EXPECT_EQ(Logged(folder.LogPath()), (Messages{L"=== start ===", L"probe 7 for caf\u00e9.txt", L"==== end ===="}));
  EXPECT_EQ(ReadBytes(folder.LogPath()).substr(0, 2), std::string("2\0", 2)) << "no byte-order mark";
  wchar_t today[16];
  swprintf(today, 16, L"%04u-%02u-%02u", now.wYear, now.wMonth, now.wDay);
  for (const LogLine& line : ReadLogLines(folder.LogPath())) {
    ASSERT_TRUE(line.wellFormed) << Utf8(line.text);
    EXPECT_EQ(line.timestamp.substr(0, 10), today) << "local date (unless run at midnight)";
    EXPECT_EQ(line.timestamp.substr(19), L".000");
  }
}

class Rotation : public ExtensionLogTest, public ::testing::WithParamInterface<bool> {};

TEST_P(Rotation, FollowsTheFirstLineBeyondTheLimit) {
  const bool oldPresent = GetParam();
  if (oldPresent) { ASSERT_TRUE(WriteBytes(folder.OldPath(), "previous generation")); }
  // Sparse, so that the start banner fills it to exactly the limit.
  ASSERT_TRUE(WriteBytes(folder.LogPath(), {}));
  HANDLE file = CreateFileW(folder.LogPath().c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  LARGE_INTEGER end{.QuadPart = static_cast<LONGLONG>(rotationSize - LineBytes(L"=== start ==="))};
  ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));
  CloseHandle(file);
  CreateExtensionLog();
  EXPECT_EQ(std::filesystem::file_size(folder.LogPath()), rotationSize) << "a file of exactly the limit stays";
  LogMessage(L"over the limit");
  EXPECT_EQ(Logged(folder.LogPath()), Messages{L"=== start ==="});
  if (oldPresent) {
    EXPECT_EQ(ReadBytes(folder.OldPath()), "previous generation") << "the current log was deleted instead";
  } else {
    EXPECT_EQ(MessagesOf(ReadLogLines(folder.OldPath(), rotationSize), OwnSourceTag()),
              (Messages{L"over the limit", L"==== end ===="}));
  }
}

INSTANTIATE_TEST_SUITE_P(OldGeneration, Rotation, ::testing::Bool());

constexpr wchar_t startEventVariable[] = L"SYNCSHELL_LOG_WRITER_START";
constexpr int writers = 2, threads = 3, linesPerThread = 60;
const std::wstring padding = std::wstring(150, L'x') + L"\u00e9";  // shows torn or mixed lines

// One of the host processes sharing the log, started by the test below.
TEST(LogWriter, WritesNumberedLinesFromSeveralThreadsOnTheSignal) {
  wchar_t eventName[64] = {};
  if (!GetEnvironmentVariableW(startEventVariable, eventName, 64)) GTEST_SKIP() << "runs as a child only";
  UseMachineSettings();
  CreateExtensionLog();
  HANDLE start = OpenEventW(SYNCHRONIZE, FALSE, eventName);
  ASSERT_EQ(WaitForSingleObject(start, 60000), WAIT_OBJECT_0);
  std::vector<std::thread> pool;
  for (int thread = 0; thread < threads; ++thread)
    pool.emplace_back([thread] {
      for (int line = 0; line < linesPerThread; ++line)
        LogMessage(L"thread %d line %d %s", thread, line, padding.c_str());
    });
  for (std::thread& worker : pool) worker.join();
  DestroyExtensionLog();
}

TEST_F(ExtensionLogTest, ProcessesAndThreadsWritingAtOnceLoseAndTearNoLine) {
  const std::wstring eventName = L"LogWriterStart" + std::to_wstring(GetCurrentProcessId());
  HANDLE start = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  SetEnvironmentVariableW(startEventVariable, eventName.c_str());
  std::vector<std::unique_ptr<ChildProcess>> children;
  for (int writer = 0; writer < writers; ++writer)
    children.push_back(std::make_unique<ChildProcess>(L"\"" + std::wstring(program) + L"\" --gtest_filter=LogWriter.*"));
  SetEnvironmentVariableW(startEventVariable, nullptr);
  // Lines of the writers by their source tag; hosts of other tests may log as well.
  const auto byWriter = [&] {
    std::map<std::wstring, std::map<std::wstring, int>> seen;
    for (const LogLine& line : ReadLogLines(folder.LogPath()))
      if (!line.wellFormed || (line.tag.starts_with(L"log_tests.exe:") && line.tag != OwnSourceTag()))
        ++seen[line.tag][line.message];
    return seen;
  };
  ASSERT_TRUE(WaitUntil([&] { return byWriter().size() == writers; }, 60000)) << "every writer opened the log";
  SetEvent(start);
  for (auto& child : children) EXPECT_EQ(child->Wait(300000), 0u);
  CloseHandle(start);
  std::map<std::wstring, int> expected{{L"=== start ===", 1}, {L"==== end ====", 1}};
  for (int thread = 0; thread < threads; ++thread)
    for (int number = 0; number < linesPerThread; ++number)
      expected[L"thread " + std::to_wstring(thread) + L" line " + std::to_wstring(number) + L" " + padding] = 1;
  const auto seen = byWriter();
  EXPECT_EQ(seen.size(), static_cast<size_t>(writers)) << "a torn line";
  for (const auto& [tag, messages] : seen) EXPECT_TRUE(messages == expected) << Utf8(tag);
}
}  // namespace
