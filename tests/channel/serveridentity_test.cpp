// Who serves the command pipe, checked through the DLL before anything is
// written. Wine runs every process in one session, so the refusal of a
// server of another session cannot be shown here; only the session of a
// server that matches is.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <memory>
#include <string>
#include <vector>

#include "support/importhook.h"
#include "throughdll.h"

namespace {

bool MutexAppears(const wchar_t* name) {
  return WaitUntil(
      [&] {
        HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, name);
        if (mutex) CloseHandle(mutex);
        return mutex != nullptr;
      },
      20000);
}

std::wstring Upper(std::wstring text) {
  std::transform(text.begin(), text.end(), text.begin(), [](wchar_t c) { return std::towupper(c); });
  return text;
}

bool AnyStartsWith(const std::vector<std::wstring>& messages, const std::wstring& start) {
  return std::any_of(messages.begin(), messages.end(), [&](auto& m) { return m.rfind(start, 0) == 0; });
}

enum class Location { None, OfServer, OfServerInUpperCase };

struct ServerCase {
  const char* name;
  bool service;
  bool serverInInstallFolder;  // else the stand-in runs from the build folder
  Location location;
  bool receives;
};

class ServingProcess : public ::testing::TestWithParam<ServerCase> {
 protected:
  void SetUp() override {
    RegDeleteTreeW(HKEY_CURRENT_USER, uninstallKey);
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, uninstallKey);
    KillProcessesNamed(L"Tamvera Sync.exe");
    EnsureLogFolder();
  }
  void TearDown() override { KillProcessesNamed(L"Tamvera Sync.exe"); }
  TempFolder install;
};

TEST_P(ServingProcess, GetsTheBatchOnlyWhenItIsTheInstalledApplication) {
  const ServerCase& c = GetParam();
  const std::wstring application = install / L"Tamvera Sync.exe";
  ASSERT_TRUE(CopyFileW(FakeSyncAppPath().c_str(), application.c_str(), FALSE));
  const std::wstring serviceArgument = c.service ? L" --service" : L"";
  std::unique_ptr<FakeSyncApp> elsewhere;
  std::unique_ptr<ChildProcess> installed;
  if (c.serverInInstallFolder) {
    installed = std::make_unique<ChildProcess>(L"\"" + application + L"\" --quiet --idle-exit 300" + serviceArgument);
    ASSERT_TRUE(MutexAppears(c.service ? L"Global\\pipesynccmd_sync" : L"Local\\pipesynccmd_sync"));
  } else {
    elsewhere = std::make_unique<FakeSyncApp>(serviceArgument);
    ASSERT_TRUE(elsewhere->WaitReady());
  }
  std::optional<InstallLocationKey> key;
  if (c.location != Location::None)
    key.emplace(c.service ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER,
                c.location == Location::OfServer ? install.Path() : Upper(install.Path()));

  {
    DllMenuChoice choice;
    choice.SyncToThisDevice();
  }
  const std::vector<ReceivedMessage> received =
      elsewhere ? elsewhere->WaitForMessages(c.receives ? 2 : 0) : RecordedMessages(install / L"received.txt");
  if (c.receives) {
    EXPECT_EQ(Bytes(received), downloadAB);
  } else {
    EXPECT_TRUE(received.empty()) << received.size() << " messages reached a server in another folder";
    EXPECT_TRUE(AnyStartsWith(LogMessagesOfThisProcess(), L"Command pipe: served by ")) << "one line says why";
  }
}

INSTANTIATE_TEST_SUITE_P(Servers, ServingProcess, ::testing::Values(
    ServerCase{"UserApplicationOfTheInstallLocation", false, true, Location::OfServer, true},
    ServerCase{"UserLocationSpeltInOtherCase", false, true, Location::OfServerInUpperCase, true},
    ServerCase{"UserServerInAnotherFolder", false, false, Location::OfServer, false},
    ServerCase{"UserNoLocationSameSession", false, false, Location::None, true},
    ServerCase{"ServiceApplicationOfTheInstallLocation", true, true, Location::OfServer, true},
    ServerCase{"ServiceServerInAnotherFolder", true, false, Location::OfServer, false},
    ServerCase{"ServiceNoLocation", true, false, Location::None, true}),
    [](const auto& info) { return std::string(info.param.name); });

decltype(&CreateFileW) originalCreateFile = nullptr;
std::vector<DWORD> pipeOpenFlags;

HANDLE WINAPI RecordingCreateFile(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security,
                                  DWORD disposition, DWORD flags, HANDLE templateFile) {
  if (name && std::wstring(name).rfind(L"\\\\.\\pipe\\", 0) == 0) pipeOpenFlags.push_back(flags);
  return originalCreateFile(name, access, share, security, disposition, flags, templateFile);
}

TEST(PipeOpen, AsksForIdentificationOnlySoThatTheServerCannotActAsTheUser) {
  RegDeleteTreeW(HKEY_CURRENT_USER, uninstallKey);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, uninstallKey);
  FakeSyncApp app;
  ASSERT_TRUE(app.WaitReady());
  pipeOpenFlags.clear();
  DllMenuChoice choice;
  ImportHook hook(choice.Module(), "kernel32.dll", "CreateFileW", reinterpret_cast<void*>(&RecordingCreateFile));
  ASSERT_TRUE(hook.Installed());
  originalCreateFile = reinterpret_cast<decltype(&CreateFileW)>(hook.Original());
  choice.SyncToThisDevice();
  ASSERT_EQ(pipeOpenFlags.size(), 1u);
  EXPECT_EQ(pipeOpenFlags[0] & SECURITY_SQOS_PRESENT, static_cast<DWORD>(SECURITY_SQOS_PRESENT));
  // The impersonation level's two bits; anonymous would hide the user from the application.
  EXPECT_EQ(pipeOpenFlags[0] & (SECURITY_DELEGATION | SECURITY_IMPERSONATION), static_cast<DWORD>(SECURITY_IDENTIFICATION));
  EXPECT_EQ(Bytes(app.WaitForMessages(2)), downloadAB);
}

}  // namespace
