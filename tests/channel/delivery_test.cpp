// Finding the application, and delivery threads writing to its pipe.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <string>
#include <vector>

#include "bencode/bencencode.h"
#include "channel/commandbatch.h"
#include "channel/delivery.h"
#include "channel/pipeclient.h"
#include "support/menuharness.h"
#include "support/fakeapp.h"
#include "support/modulestate.h"
#include "com/modulereference.h"
#include "support/dllundertest.h"

namespace {
constexpr wchar_t userPipe[] = L"\\\\.\\pipe\\synccmd_sync";
constexpr wchar_t servicePipe[] = L"\\\\.\\pipe\\syncsvccmd_sync";
using Wire = std::vector<std::string>;
const std::vector<std::wstring> pathsAB = {L"D:\\Sync\\a.txt", L"D:\\Sync\\b.txt"};
const Wire downloadAB = {"d6:actioni3e4:path13:D:\\Sync\\a.txte", "d6:actioni3e4:lasti1e4:path13:D:\\Sync\\b.txte"};

Wire Bytes(const std::vector<ReceivedMessage>& messages) {
  Wire bytes;
  for (const auto& message : messages) bytes.push_back(message.bytes);
  return bytes;
}

// Waits for count messages, then a moment more in which nothing may follow.
std::vector<ReceivedMessage> Settled(const FakeSyncApp& app, size_t count) {
  app.WaitForMessages(count);
  Sleep(300);
  return app.Received();
}

struct LocationCase {
  const char* name;
  DWORD type;
  size_t length;
  bool terminated, readable;
};
class InstallLocation : public ::testing::TestWithParam<LocationCase> {};

TEST_P(InstallLocation, IsReadOnlyAsAPlainStringShorterThan260) {
  const LocationCase& c = GetParam();
  std::wstring value = L"C:\\Apps\\";
  value.resize(c.length, L'x');
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    ScopedRegistryKey key(root, uninstallKey);
    const DWORD bytes = static_cast<DWORD>((value.size() + c.terminated) * sizeof(wchar_t));
    ASSERT_TRUE(key.SetRaw(L"InstallLocation", c.type, value.c_str(), bytes));
    EXPECT_EQ(ReadInstallLocation(root), c.readable ? value : L"");
  }
  RegDeleteTreeW(HKEY_CURRENT_USER, uninstallKey);
  EXPECT_EQ(ReadInstallLocation(HKEY_CURRENT_USER), L"");
}

INSTANTIATE_TEST_SUITE_P(Values, InstallLocation, ::testing::Values(
    LocationCase{"Short", REG_SZ, 20, true, true}, LocationCase{"Of259", REG_SZ, 259, true, true},
    LocationCase{"Of260", REG_SZ, 260, true, false}, LocationCase{"Of260WithoutNul", REG_SZ, 260, false, false},
    LocationCase{"Of259WithoutNul", REG_SZ, 259, false, true},
    LocationCase{"Expandable", REG_EXPAND_SZ, 20, true, false}, LocationCase{"Binary", REG_BINARY, 20, true, false}),
    [](const auto& info) { return std::string(info.param.name); });

struct PipeCase {
  InstallScope scope;
  bool userRunning, serviceRunning;
  const wchar_t* expected;
};
class PipeSelection : public ::testing::TestWithParam<PipeCase> {};

TEST_P(PipeSelection, FollowsTheScopeAndPrefersTheUserApplication) {
  const PipeCase& c = GetParam();
  HANDLE user = c.userRunning ? CreateMutexW(nullptr, FALSE, L"Local\\pipesynccmd_sync") : nullptr;
  HANDLE service = c.serviceRunning ? CreateMutexW(nullptr, FALSE, L"Global\\pipesynccmd_sync") : nullptr;
  EXPECT_EQ(SelectCommandPipe(c.scope), c.expected);
  for (HANDLE mutex : {user, service})
    if (mutex) CloseHandle(mutex);
}

INSTANTIATE_TEST_SUITE_P(Scopes, PipeSelection, ::testing::Values(
    PipeCase{InstallScope::Undecided, true, true, userPipe},
    PipeCase{InstallScope::Undecided, false, true, servicePipe}, PipeCase{InstallScope::Undecided, false, false, L""},
    PipeCase{InstallScope::User, true, true, userPipe}, PipeCase{InstallScope::User, false, true, L""},
    PipeCase{InstallScope::Service, true, false, L""}, PipeCase{InstallScope::Service, true, true, servicePipe}));

class Delivery : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(moduleObjectCount.load(), 0); }
  void TearDown() override {
    EXPECT_TRUE(WaitUntil([] { return moduleObjectCount.load() == 0; }, 30000)) << "a delivery thread stayed";
  }
  InstallScopeOverride scope{InstallScope::Undecided};
};

TEST_F(Delivery, TheExamplesArriveByteForByteOneMessageEachInOrderOverOneConnection) {
  FakeSyncApp app;
  ASSERT_TRUE(app.WaitReady());
  DeliverCommands(userPipe, MakeCommandBatch(CommandAction::Download, pathsAB));
  DeliverCommands(userPipe, MakeCommandBatch(CommandAction::Share, {L"D:\\a.txt", L"C:\\\u65E5\u672C"}));
  auto received = Settled(app, 3);  // the app serves connections at once: order them
  std::stable_sort(received.begin(), received.end(), [](auto& a, auto& b) { return a.connection < b.connection; });
  Wire expected = downloadAB;
  expected.push_back("d6:actioni7e5:filesl8:D:\\a.txt9:C:\\\xE6\x97\xA5\xE6\x9C\xAC" "e4:lasti1ee");
  EXPECT_EQ(Bytes(received), expected);
  ASSERT_EQ(received.size(), 3u);
  EXPECT_EQ(received[0].connection, received[1].connection);
  EXPECT_NE(received[1].connection, received[2].connection);
}

TEST(DeliveryThroughTheDll, StartsTheUserApplicationAndKeepsTheDllLoadedUntilTheThreadEnds) {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, uninstallKey);
  TempFolder install;
  ASSERT_TRUE(CopyFileW(FakeSyncAppPath().c_str(), (install / L"Tamvera Sync.exe").c_str(), FALSE));
  InstallLocationKey location(HKEY_CURRENT_USER, install.Path());
  StartedApplication started;
  DllUnderTest dll;
  ComPtr<IContextMenu> menu;
  ASSERT_EQ(dll.CreateObject(TestClassId(0), IID_PPV_ARGS(&menu)), S_OK);
  QueryMenu(menu.Get(), DropDataObject(pathsAB).Get());
  CMINVOKECOMMANDINFO invoke{};
  invoke.cbSize = sizeof invoke;
  invoke.lpVerb = MAKEINTRESOURCEA(2);  // "Sync to this device"
  EXPECT_EQ(menu->InvokeCommand(&invoke), S_OK);
  menu.Reset();
  EXPECT_EQ(dll.CanUnloadNow(), S_FALSE) << "the delivery thread is still starting the application";
  std::vector<ReceivedMessage> received;
  const auto recorded = [&] { return (received = ParseRecordFile(ReadBytes(install / L"received.txt"))).size() >= 2; };
  EXPECT_TRUE(WaitUntil(recorded, 30000));
  EXPECT_TRUE(WaitUntil([&] { return dll.CanUnloadNow() == S_OK; }, 10000));
  EXPECT_EQ(Bytes(received), downloadAB);
}

TEST_F(Delivery, BuildCommandBatchFollowsTheScopeAndLeavesOutUnreadableItems) {
  FakeSyncApp app;
  ASSERT_TRUE(app.WaitReady());
  scope.Set(InstallScope::Service);  // the service does not run: nothing is sent
  EXPECT_EQ(BuildCommandBatch(CommandAction::Download, pathsAB), S_OK);
  EXPECT_EQ(moduleObjectCount.load(), 0) << "no delivery thread";
  scope.Set(InstallScope::Undecided);
  // Empty paths and paths a reader would have cut are left out.
  const std::wstring overlong = L"C:\\" + std::wstring(maxCommandPathChars, L'x');
  EXPECT_EQ(BuildCommandBatch(CommandAction::Download, {L"", pathsAB[0], overlong, pathsAB[1]}), S_OK);
  EXPECT_EQ(Bytes(Settled(app, 2)), downloadAB);
}

TEST_F(Delivery, FiftyAtOnceAllArriveWholeEachOnItsOwnConnection) {
  FakeSyncApp app;
  ASSERT_TRUE(app.WaitReady());
  constexpr size_t batches = 50, perBatch = 3;
  std::map<std::string, size_t> batchOf;
  for (size_t b = 0; b < batches; ++b) {
    std::vector<std::wstring> paths;
    for (size_t i = 0; i < perBatch; ++i)
      paths.push_back(L"D:\\b" + std::to_wstring(b) + L"\\" + std::wstring(200 + i, L'x'));
    CommandBatch batch = MakeCommandBatch(CommandAction::Download, paths);
    for (const auto& message : batch) batchOf[std::string(BencEncode(*message).View())] = b;
    StartDelivery(userPipe, std::move(batch));
  }
  const auto received = app.WaitForMessages(batches * perBatch, 60000);
  ASSERT_EQ(received.size(), batches * perBatch);
  std::map<unsigned, Wire> byConnection;
  for (const auto& message : received) {
    ASSERT_EQ(batchOf.count(message.bytes), 1u) << "torn or unknown message";
    byConnection[message.connection].push_back(message.bytes);
  }
  ASSERT_EQ(byConnection.size(), batches);
  for (const auto& [connection, messages] : byConnection) {
    ASSERT_EQ(messages.size(), perBatch);
    for (const auto& bytes : messages) EXPECT_EQ(batchOf[bytes], batchOf[messages[0]]) << "batches mixed";
    EXPECT_NE(messages.back().find("4:lasti1e"), std::string::npos) << "out of order";
  }
}

TEST_F(Delivery, WaitsForABusyPipeRatherThanDropTheCommand) {
  FakeSyncApp app(L"--instances 1");
  ASSERT_TRUE(app.WaitReady());
  HANDLE holder = CreateFileW(userPipe, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(holder, INVALID_HANDLE_VALUE);
  StartDelivery(userPipe, MakeCommandBatch(CommandAction::RemoveFromAllDevices, {L"D:\\a"}));
  Sleep(1000);
  EXPECT_EQ(moduleObjectCount.load(), 1) << "still waiting for the pipe";
  CloseHandle(holder);
  EXPECT_EQ(Bytes(app.WaitForMessages(1, 10000)), Wire{"d6:actioni6e4:lasti1e4:path4:D:\\ae"});
}
}  // namespace
