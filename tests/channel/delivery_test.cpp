// Delivery threads against the stand-in application: what arrives, when the
// application is started, and that every thread leaves the module count.
#include <windows.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "channel/bencencode.h"
#include "channel/bencodeddict.h"
#include "channel/commandbatch.h"
#include "channel/delivery.h"
#include "channel/pipeclient.h"
#include "droplist.h"
#include "fakeapp.h"
#include "module/modulestate.h"

namespace {
constexpr wchar_t userPipe[] = L"\\\\.\\pipe\\synccmd_sync";

std::vector<std::string> Bytes(const std::vector<ReceivedMessage>& messages) {
  std::vector<std::string> bytes;
  for (const auto& message : messages) bytes.push_back(message.bytes);
  return bytes;
}

bool DeliveriesEnded(DWORD milliseconds) {
  return WaitUntil([] { return moduleObjectCount.load() == 0; }, milliseconds);
}

class Delivery : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(moduleObjectCount.load(), 0); }
  void TearDown() override {
    EXPECT_TRUE(DeliveriesEnded(30000));
    installScope = savedScope;
  }

  InstallScope savedScope = installScope.load();
};

struct WireCase {
  const char* name;
  CommandAction action;
  std::vector<std::wstring> paths;
  std::vector<std::string> wire;
};

class DeliveredMessages : public Delivery, public ::testing::WithParamInterface<WireCase> {};

TEST_P(DeliveredMessages, ArriveByteForByteInOrderOverOneConnection) {
  const WireCase& c = GetParam();
  FakeSyncApp app;
  ASSERT_TRUE(app.WaitReady());
  DeliverCommands(userPipe, MakeCommandBatch(c.action, c.paths));
  ASSERT_GE(app.WaitForMessages(c.wire.size()).size(), c.wire.size());
  Sleep(300);  // nothing more may follow
  const auto received = app.Received();
  EXPECT_EQ(Bytes(received), c.wire);
  for (const auto& message : received) EXPECT_EQ(message.connection, received.front().connection);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, DeliveredMessages,
    ::testing::Values(
        WireCase{"Download",
                 CommandAction::Download,
                 {L"D:\\Sync\\a.txt", L"D:\\Sync\\b.txt"},
                 {"d6:actioni3e4:path13:D:\\Sync\\a.txte", "d6:actioni3e4:lasti1e4:path13:D:\\Sync\\b.txte"}},
        WireCase{"Share",
                 CommandAction::Share,
                 {L"D:\\Sync\\a.txt", L"D:\\Sync\\b.txt", L"C:\\\u65E5\u672C"},
                 {"d6:actioni7e5:filesl13:D:\\Sync\\a.txt13:D:\\Sync\\b.txt9:C:\\\xE6\x97\xA5\xE6\x9C\xAC"
                  "e4:lasti1ee"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Delivery, StartsTheUserApplicationFromItsInstallLocationAndDeliversOnceItRuns) {
  TempFolder install;
  ASSERT_TRUE(CopyFileW(FakeSyncAppPath().c_str(), (install / L"Tamvera Sync.exe").c_str(), FALSE));
  ScopedRegistryKey key(HKEY_CURRENT_USER, uninstallKey);
  ASSERT_TRUE(key.SetString(L"InstallLocation", install.Path()));
  StartedApplication started;
  ASSERT_FALSE(IsMutexPresent(L"Local\\pipesynccmd_sync"));

  installScope = InstallScope::User;
  DropList drop({L"D:\\Sync\\a.txt", L"D:\\Sync\\b.txt"});
  EXPECT_EQ(BuildCommandBatch(CommandAction::Download, drop.Get(), drop.Count()), S_OK);
  EXPECT_EQ(moduleObjectCount.load(), 1) << "the thread counts from before it starts";

  std::vector<ReceivedMessage> received;
  ASSERT_TRUE(WaitUntil(
      [&] {
        received = ParseRecordFile(ReadBytes(install / L"received.txt"));
        return received.size() >= 2;
      },
      30000));
  EXPECT_EQ(Bytes(received), (std::vector<std::string>{"d6:actioni3e4:path13:D:\\Sync\\a.txte",
                                                        "d6:actioni3e4:lasti1e4:path13:D:\\Sync\\b.txte"}));
  EXPECT_TRUE(DeliveriesEnded(10000));
}

TEST_F(Delivery, WithoutAnInstallLocationNothingIsStarted) {
  RegDeleteTreeW(HKEY_CURRENT_USER, uninstallKey);
  DeliverCommands(L"", MakeCommandBatch(CommandAction::Download, {L"D:\\a"}));
  EXPECT_FALSE(IsMutexPresent(L"Local\\pipesynccmd_sync"));
}

TEST_F(Delivery, ServiceScopeWithoutTheServiceSendsNothing) {
  FakeSyncApp userApp;
  ASSERT_TRUE(userApp.WaitReady());
  installScope = InstallScope::Service;
  DropList drop({L"D:\\Sync\\a.txt"});
  EXPECT_EQ(BuildCommandBatch(CommandAction::Download, drop.Get(), drop.Count()), S_OK);
  EXPECT_EQ(moduleObjectCount.load(), 0) << "no delivery thread";
  Sleep(500);
  EXPECT_TRUE(userApp.Received().empty());
}

TEST_F(Delivery, ItemsWhosePathsCannotBeReadAreLeftOutAndLastStaysOnTheFinalMessage) {
  FakeSyncApp app;
  ASSERT_TRUE(app.WaitReady());
  installScope = InstallScope::Undecided;
  DropList drop({L"D:\\Sync\\a.txt", L"D:\\Sync\\b.txt"});
  // Indexes past the end of the drop list read as no path at all.
  EXPECT_EQ(BuildCommandBatch(CommandAction::RemoveFromAllDevices, drop.Get(), drop.Count() + 2), S_OK);
  ASSERT_GE(app.WaitForMessages(2).size(), 2u);
  Sleep(300);
  EXPECT_EQ(Bytes(app.Received()), (std::vector<std::string>{"d6:actioni6e4:path13:D:\\Sync\\a.txte",
                                                              "d6:actioni6e4:lasti1e4:path13:D:\\Sync\\b.txte"}));
}

TEST_F(Delivery, FiftyAtOnceAllArriveWholeEachOnItsOwnConnection) {
  FakeSyncApp app;
  ASSERT_TRUE(app.WaitReady());
  constexpr int batches = 50;
  constexpr int perBatch = 3;
  std::map<std::string, int> expected;
  for (int b = 0; b < batches; ++b) {
    std::vector<std::wstring> paths;
    for (int i = 0; i < perBatch; ++i)
      paths.push_back(L"D:\\Sync\\batch" + std::to_wstring(b) + L"\\" + std::wstring(200 + i, L'x'));
    CommandBatch batch = MakeCommandBatch(CommandAction::Download, paths);
    for (const auto& message : batch) expected[std::string(BencEncode(*message).View())] = b;
    StartDelivery(userPipe, std::move(batch));
  }
  const auto received = app.WaitForMessages(batches * perBatch, 60000);
  ASSERT_EQ(received.size(), static_cast<size_t>(batches * perBatch));
  std::map<unsigned, std::vector<std::string>> byConnection;
  for (const auto& message : received) {
    ASSERT_EQ(expected.count(message.bytes), 1u) << "torn or unknown message";
    byConnection[message.connection].push_back(message.bytes);
  }
  ASSERT_EQ(byConnection.size(), static_cast<size_t>(batches));
  for (const auto& [connection, messages] : byConnection) {
    ASSERT_EQ(messages.size(), static_cast<size_t>(perBatch));
    const int batch = expected[messages.front()];
    for (const auto& bytes : messages) EXPECT_EQ(expected[bytes], batch) << "batches mixed on a connection";
    EXPECT_NE(messages.back().find("4:lasti1e"), std::string::npos) << "out of order";
  }
  EXPECT_TRUE(DeliveriesEnded(10000));
}

TEST_F(Delivery, WaitsForABusyPipeRatherThanDropTheCommand) {
  FakeSyncApp app(L"--instances 1");
  ASSERT_TRUE(app.WaitReady());
  HANDLE holder = CreateFileW(userPipe, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  HANDLE second = CreateFileW(userPipe, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_EQ(second, INVALID_HANDLE_VALUE);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PIPE_BUSY));
  if (second != INVALID_HANDLE_VALUE) CloseHandle(second);

  StartDelivery(userPipe, MakeCommandBatch(CommandAction::RemoveFromAllDevices, {L"D:\\Sync\\a.txt"}));
  Sleep(1000);
  EXPECT_EQ(moduleObjectCount.load(), 1) << "still waiting for the pipe";
  CloseHandle(holder);
  const auto received = app.WaitForMessages(1, 10000);
  EXPECT_EQ(Bytes(received), std::vector<std::string>{"d6:actioni6e4:lasti1e4:path13:D:\\Sync\\a.txte"});
}

TEST_F(Delivery, AnApplicationThatStopsReadingDoesNotHoldTheThreadForGood) {
  FakeSyncApp app(L"--never-read");
  ASSERT_TRUE(app.WaitReady());
  std::vector<std::wstring> paths(400, L"D:\\Sync\\" + std::wstring(1000, L'y'));
  StartDelivery(userPipe, MakeCommandBatch(CommandAction::Share, paths));
  EXPECT_TRUE(DeliveriesEnded(25000));
}

}  // namespace
