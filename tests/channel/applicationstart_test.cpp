// How the DLL starts the per-user application. Under Wine every plain
// process reports an elevated token, so the unelevated cases run in a child
// of this program started with the linked (limited) token.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "support/importhook.h"
#include "throughdll.h"

namespace {
constexpr wchar_t childFilter[] = L"UnelevatedChild*:*/UnelevatedChild*";

// This program again with the filter, under the linked token of this
// process's elevated one; its exit code, or STILL_ACTIVE.
DWORD RunUnelevatedChild(const std::wstring& outputFile) {
  HANDLE own = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own)) return STILL_ACTIVE;
  TOKEN_LINKED_TOKEN linked{};
  DWORD size = 0;
  const BOOL read = GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &size);
  CloseHandle(own);
  if (!read) return STILL_ACTIVE;
  HANDLE primary = nullptr;
  const BOOL duplicated =
      DuplicateTokenEx(linked.LinkedToken, TOKEN_ALL_ACCESS, nullptr, SecurityIdentification, TokenPrimary, &primary);
  CloseHandle(linked.LinkedToken);
  if (!duplicated) return STILL_ACTIVE;

  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  std::wstring line = L"\"" + std::wstring(program) + L"\" --gtest_filter=" + childFilter;
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE output = CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                              CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdOutput = startup.hStdError = output;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessAsUserW(primary, nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                            nullptr, &startup, &process);
  CloseHandle(primary);
  CloseHandle(output);
  if (!started) return STILL_ACTIVE;
  CloseHandle(process.hThread);
  DWORD code = STILL_ACTIVE;
  if (WaitForSingleObject(process.hProcess, 300000) == WAIT_OBJECT_0) GetExitCodeProcess(process.hProcess, &code);
  if (code == STILL_ACTIVE) TerminateProcess(process.hProcess, 1);
  CloseHandle(process.hProcess);
  return code;
}

TEST(UnelevatedHost, RunsTheUnelevatedCasesInALinkedTokenChild) {
  if (!IsProcessElevated()) GTEST_SKIP() << "this process is unelevated: the cases run in it directly";
  TempFolder folder;
  const DWORD code = RunUnelevatedChild(folder / L"child.txt");
  const std::string output = ReadBytes(folder / L"child.txt");
  EXPECT_EQ(code, 0u) << output;
  EXPECT_NE(output.find("[  PASSED  ]"), std::string::npos) << output;
  EXPECT_EQ(output.find("[  SKIPPED ]"), std::string::npos) << "the child counts as elevated too\n" << output;
}

// An installation of the stand-in as "Tamvera Sync.exe", not running.
class Installation : public ::testing::Test {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, uninstallKey);
    KillProcessesNamed(L"Tamvera Sync.exe");
    EnsureLogFolder();
    ASSERT_TRUE(CopyFileW(FakeSyncAppPath().c_str(), Application().c_str(), FALSE));
  }
  std::wstring Application() const { return install / L"Tamvera Sync.exe"; }
  std::vector<ReceivedMessage> Received() const { return RecordedMessages(install / L"received.txt"); }
  std::string Started() const { return ReadBytes(install / L"started.txt"); }
  std::string ExpectedStart() const {
    return "directory " + Utf8(install.Path()) + "\ncommand \"" + Utf8(Application()) + "\"\n";
  }

  TempFolder install;
  StartedApplication started;
  // A trailing backslash, as installers often write it.
  InstallLocationKey location{HKEY_CURRENT_USER, install.Path() + L"\\"};
};

class UnelevatedChild : public Installation {
 protected:
  void SetUp() override {
    if (IsProcessElevated()) GTEST_SKIP() << "runs in the unelevated child";
    Installation::SetUp();
  }
};

TEST_F(UnelevatedChild, StartsTheApplicationInItsFolderWithOnlyItsQuotedPath) {
  TempFolder hostFolder;
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(hostFolder.Path().c_str()));
  {
    DllMenuChoice choice;
    choice.SyncToThisDevice();
  }
  SetCurrentDirectoryW(previous);
  EXPECT_EQ(Bytes(Received()), downloadAB);
  EXPECT_EQ(CompareStringOrdinal(Wide(Started()).c_str(), -1, Wide(ExpectedStart()).c_str(), -1, TRUE), CSTR_EQUAL)
      << Started() << "expected:\n" << ExpectedStart();
}

struct JobCase {
  const char* name;
  bool inJob, breakawayAllowed, breakawayRefused;
  std::vector<bool> breakawayPerAttempt;
};

BOOL inJob = FALSE;
DWORD jobLimits = 0;
bool refuseBreakaway = false;
std::vector<bool> attempts;
decltype(&CreateProcessW) originalCreateProcess = nullptr;

BOOL WINAPI FakeIsProcessInJob(HANDLE, HANDLE, PBOOL result) {
  *result = inJob;
  return TRUE;
}

BOOL WINAPI FakeQueryJob(HANDLE, JOBOBJECTINFOCLASS infoClass, LPVOID info, DWORD length, LPDWORD returned) {
  if (infoClass != JobObjectExtendedLimitInformation || length < sizeof(JOBOBJECT_EXTENDED_LIMIT_INFORMATION))
    return FALSE;
  auto* limits = static_cast<JOBOBJECT_EXTENDED_LIMIT_INFORMATION*>(info);
  *limits = {};
  limits->BasicLimitInformation.LimitFlags = jobLimits | JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
  if (returned) *returned = sizeof *limits;
  return TRUE;
}

// The host is in no real job, so the flag is taken off before the real start.
BOOL WINAPI RecordingCreateProcess(LPCWSTR application, LPWSTR commandLine, LPSECURITY_ATTRIBUTES processSecurity,
                                   LPSECURITY_ATTRIBUTES threadSecurity, BOOL inherit, DWORD flags, LPVOID environment,
                                   LPCWSTR directory, LPSTARTUPINFOW startup, LPPROCESS_INFORMATION information) {
  const bool breakaway = (flags & CREATE_BREAKAWAY_FROM_JOB) != 0;
  attempts.push_back(breakaway);
  if (breakaway && refuseBreakaway) {
    SetLastError(ERROR_ACCESS_DENIED);
    return FALSE;
  }
  return originalCreateProcess(application, commandLine, processSecurity, threadSecurity, inherit,
                               flags & ~CREATE_BREAKAWAY_FROM_JOB, environment, directory, startup, information);
}

class UnelevatedChildJob : public UnelevatedChild, public ::testing::WithParamInterface<JobCase> {};

TEST_P(UnelevatedChildJob, LeavesAJobThatAllowsItAndStartsAnywayWhenRefused) {
  const JobCase& c = GetParam();
  inJob = c.inJob;
  jobLimits = c.breakawayAllowed ? JOB_OBJECT_LIMIT_BREAKAWAY_OK : 0;
  refuseBreakaway = c.breakawayRefused;
  attempts.clear();
  {
    DllMenuChoice choice;
    ImportHook job(choice.Module(), "kernel32.dll", "IsProcessInJob", reinterpret_cast<void*>(&FakeIsProcessInJob));
    ImportHook query(choice.Module(), "kernel32.dll", "QueryInformationJobObject",
                     reinterpret_cast<void*>(&FakeQueryJob));
    ImportHook create(choice.Module(), "kernel32.dll", "CreateProcessW",
                      reinterpret_cast<void*>(&RecordingCreateProcess));
    ASSERT_TRUE(job.Installed() && query.Installed() && create.Installed());
    originalCreateProcess = reinterpret_cast<decltype(&CreateProcessW)>(create.Original());
    choice.SyncToThisDevice();
  }
  EXPECT_EQ(attempts, c.breakawayPerAttempt);
  EXPECT_EQ(Bytes(Received()), downloadAB);
}

INSTANTIATE_TEST_SUITE_P(Jobs, UnelevatedChildJob, ::testing::Values(
    JobCase{"NotInAJob", false, false, false, {false}},
    JobCase{"JobWithoutBreakaway", true, false, false, {false}},
    JobCase{"BreakawayAllowed", true, true, false, {true}},
    JobCase{"BreakawayRefusedByAnOuterJob", true, true, true, {true, false}}),
    [](const auto& info) { return std::string(info.param.name); });

unsigned createProcessCalls = 0;
BOOL WINAPI CountingCreateProcess(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID,
                                  LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION) {
  ++createProcessCalls;
  SetLastError(ERROR_ACCESS_DENIED);
  return FALSE;
}

using ElevatedHost = Installation;

// The application may only come from the desktop shell's own process; where
// that shell does not serve the documented path nothing starts at all.
TEST_F(ElevatedHost, StartsNothingWithItsOwnToken) {
  if (!IsProcessElevated()) GTEST_SKIP() << "needs an elevated host";
  createProcessCalls = 0;
  {
    DllMenuChoice choice;
    ImportHook create(choice.Module(), "kernel32.dll", "CreateProcessW",
                      reinterpret_cast<void*>(&CountingCreateProcess));
    ASSERT_TRUE(create.Installed());
    choice.SyncToThisDevice();
  }
  EXPECT_EQ(createProcessCalls, 0u);
  const std::vector<std::wstring> logged = LogMessagesOfThisProcess();
  const bool refused = std::any_of(logged.begin(), logged.end(), [](auto& m) {
    return m.find(L"through the desktop shell failed") != std::wstring::npos;
  });
  if (refused) {
    std::cout << "the desktop shell did not serve the start; nothing was started\n";
    EXPECT_TRUE(Started().empty());
    EXPECT_TRUE(ReadBytes(install / L"received.txt").empty());
  } else {
    std::cout << "started through the desktop shell: " << Started();
    EXPECT_EQ(Bytes(Received()), downloadAB);
    // The shell passes the folder and the empty arguments on as they were given.
    EXPECT_EQ(CompareStringOrdinal(Wide(Started()).c_str(), -1, Wide(ExpectedStart()).c_str(), -1, TRUE),
              CSTR_EQUAL)
        << Started();
  }
}

}  // namespace
