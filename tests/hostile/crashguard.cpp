// The main of the hostile suites. A fault that kills a test program under
// Wine can still end it with exit code 0, so the tests run in a child copy
// of this program that leaves a mark once it has finished them all; the
// parent passes only when the mark says so.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "support/childprocess.h"
#include "support/testfiles.h"

namespace {

constexpr wchar_t markerVariable[] = L"SYNCSHELL_CRASHGUARD_MARKER";
// Calls are bounded one by one; this only ends a child that stopped making
// progress, with room for the cycle runs on a slow, shared machine.
constexpr DWORD childLimitMs = 1440000;

std::wstring markerPath;

class FinishMark : public ::testing::EmptyTestEventListener {
  void OnTestProgramEnd(const ::testing::UnitTest& test) override {
    WriteBytes(markerPath, test.Passed() ? "passed" : "failed");
  }
};

LONG WINAPI ReportFault(EXCEPTION_POINTERS* info) {
  std::fprintf(stderr, "\nunhandled exception %08lx at %p\n", info->ExceptionRecord->ExceptionCode,
               info->ExceptionRecord->ExceptionAddress);
  std::fflush(stderr);
  TerminateProcess(GetCurrentProcess(), 3);
  return EXCEPTION_EXECUTE_HANDLER;
}

int RunAsChild(int argc, char** argv) {
  SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
  SetUnhandledExceptionFilter(&ReportFault);
  ::testing::InitGoogleTest(&argc, argv);
  ::testing::UnitTest::GetInstance()->listeners().Append(new FinishMark);
  return RUN_ALL_TESTS();
}

int RunChild() {
  TempFolder folder;
  const std::wstring marker = folder / L"finished";
  const std::wstring output = folder / L"output.txt";
  SetEnvironmentVariableW(markerVariable, marker.c_str());
  DWORD exitCode = STILL_ACTIVE;
  {
    ChildProcess child(GetCommandLineW(), output);
    SetEnvironmentVariableW(markerVariable, nullptr);
    if (!child.Started()) {
      std::fprintf(stderr, "cannot start the test child (%lu)\n", GetLastError());
      return 1;
    }
    exitCode = child.Wait(childLimitMs);
  }
  const std::string text = ReadBytes(output);
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fflush(stdout);
  const std::string mark = ReadBytes(marker);
  if (exitCode == STILL_ACTIVE) {
    std::printf("\nthe tests did not finish within %lu s\n", childLimitMs / 1000);
    return 1;
  }
  if (mark.empty()) {
    std::printf("\nthe test child ended before its last test (exit code %lu): it crashed\n", exitCode);
    return 1;
  }
  return mark == "passed" && exitCode == 0 ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  wchar_t marker[MAX_PATH] = {};
  if (GetEnvironmentVariableW(markerVariable, marker, MAX_PATH)) {
    markerPath = marker;
    // Programs this one starts in turn guard themselves.
    SetEnvironmentVariableW(markerVariable, nullptr);
    return RunAsChild(argc, argv);
  }
  // Listing or help needs no guard.
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg.starts_with("--gtest_list_tests") || arg == "--help" || arg == "-h") {
      ::testing::InitGoogleTest(&argc, argv);
      return RUN_ALL_TESTS();
    }
  }
  return RunChild();
}
