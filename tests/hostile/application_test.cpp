// An application that misbehaves: a presence mutex without a pipe, every
// pipe instance taken, a server that leaves in the middle of a batch or
// never reads, a program file that is no program, an install location that
// is not a full path. The command returns at once, its delivery thread
// ends within the bound, the DLL can be unloaded, and nothing arrives that
// should not.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/fakeapp.h"
#include "hostile/hostilesupport.h"
#include "support/testfiles.h"

namespace {

constexpr wchar_t userPipe[] = L"\\\\.\\pipe\\synccmd_sync";
constexpr UINT downloadOffset = 2;

struct ApplicationCase {
  const char* name;
  const wchar_t* arguments;  // fakesyncapp's, or null for no application
  size_t paths;
  size_t leastReceived, mostReceived;
  bool holdEveryInstance = false;
  const char* programFile = nullptr;  // "Tamvera Sync.exe" in the install location
};

class MisbehavingApplication : public ::testing::TestWithParam<ApplicationCase>, protected UserInstalledDll {};

TEST_P(MisbehavingApplication, NeitherHoldsTheCommandNorKeepsTheDllLoaded) {
  const ApplicationCase& param = GetParam();
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tamvera Sync");
  StartedApplication started;
  if (param.programFile) {
    ASSERT_TRUE(WriteBytes(folder / L"Tamvera Sync.exe", param.programFile));
  }
  std::optional<FakeSyncApp> app;
  if (param.arguments) {
    app.emplace(param.arguments);
    ASSERT_TRUE(app->WaitReady());
  }
  HANDLE holder = INVALID_HANDLE_VALUE;
  if (param.holdEveryInstance) {
    holder = CreateFileW(userPipe, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  }

  std::vector<std::wstring> paths;
  for (size_t i = 0; i < param.paths; ++i)
    paths.push_back(L"D:\\Sync\\" + std::to_wstring(i) + std::wstring(1000, L'y'));
  ComPtr<IContextMenu> menu;
  ASSERT_EQ(dll.CreateObject(TestClassId(0), IID_PPV_ARGS(&menu)), S_OK);
  QueryMenu(menu.Get(), DropDataObject(paths).Get());
  EXPECT_EQ(Bounded("InvokeCommand", [&] { return InvokeOffset(menu.Get(), downloadOffset); }), S_OK);
  menu.Reset();
  EXPECT_TRUE(WaitUntil([&] { return dll.CanUnloadNow() == S_OK; }, 2 * callLimitMs)) << "the delivery ended";
  if (holder != INVALID_HANDLE_VALUE) CloseHandle(holder);
  if (app) {
    const size_t received = app->Received().size();
    EXPECT_GE(received, param.leastReceived);
    EXPECT_LE(received, param.mostReceived);
  }
  EXPECT_EQ(GetFileAttributesW((folder / L"received.txt").c_str()), INVALID_FILE_ATTRIBUTES)
      << "no application was started from the install location";
}

INSTANTIATE_TEST_SUITE_P(Applications, MisbehavingApplication,
                         ::testing::Values(ApplicationCase{"MutexWithoutPipe", L"--no-pipe", 3, 0, 0},
                                           ApplicationCase{"EveryInstanceTaken", L"--instances 1", 3, 0, 0, true},
                                           ApplicationCase{"LeavesInTheMiddleOfTheBatch", L"--exit-after 2", 50, 2, 50},
                                           ApplicationCase{"NeverReads", L"--never-read", 400, 0, 0},
                                           ApplicationCase{"NoApplicationAndNoProgram", nullptr, 3, 0, 0},
                                           ApplicationCase{"ProgramFileThatIsNoProgram", nullptr, 3, 0, 0, false,
                                                           "MZ junk"}),
                         [](const auto& info) { return std::string(info.param.name); });

// A location such as "Sync" would name a program in whatever folder the
// host happens to run in.
TEST(InstallLocation, ThatIsNoFullPathStartsNothing) {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tamvera Sync");
  TempFolder folder;
  ASSERT_TRUE(CreateFolder(folder / L"Sync"));
  ASSERT_TRUE(CopyFileW(FakeSyncAppPath().c_str(), (folder / L"Sync\\Tamvera Sync.exe").c_str(), FALSE));
  wchar_t previous[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryW(folder.Path().c_str()));
  StartedApplication started;
  {
    InstallLocationKey relative(HKEY_CURRENT_USER, L"Sync");
    DllUnderTest dll;
    ComPtr<IContextMenu> menu;
    ASSERT_EQ(dll.CreateObject(TestClassId(0), IID_PPV_ARGS(&menu)), S_OK);
    QueryMenu(menu.Get(), DropDataObject({L"D:\\Sync\\a.txt"}).Get());
    EXPECT_EQ(InvokeOffset(menu.Get(), downloadOffset), S_OK);
    menu.Reset();
    EXPECT_TRUE(WaitUntil([&] { return dll.CanUnloadNow() == S_OK; }, 2 * callLimitMs));
  }
  SetCurrentDirectoryW(previous);
  Sleep(500);
  EXPECT_EQ(GetFileAttributesW((folder / L"Sync\\received.txt").c_str()), INVALID_FILE_ATTRIBUTES)
      << "the program beside the host's current folder was started";
}

}  // namespace
