#pragma once
// A menu choice made through a fresh load of the built DLL, for the tests
// of what its delivery thread does; the DLL is gone again with the object.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/childprocess.h"
#include "support/dllundertest.h"
#include "support/fakeapp.h"
#include "support/menuharness.h"

inline const std::vector<std::wstring> pathsAB = {L"D:\\Sync\\a.txt", L"D:\\Sync\\b.txt"};
inline const std::vector<std::string> downloadAB = {"d6:actioni3e4:path13:D:\\Sync\\a.txte",
                                                    "d6:actioni3e4:lasti1e4:path13:D:\\Sync\\b.txte"};

inline std::vector<std::string> Bytes(const std::vector<ReceivedMessage>& messages) {
  std::vector<std::string> bytes;
  for (const auto& message : messages) bytes.push_back(message.bytes);
  return bytes;
}

// A finished write is not yet a recorded message: waits for count of them.
inline std::vector<ReceivedMessage> RecordedMessages(const std::wstring& recordFile, size_t count = 2) {
  std::vector<ReceivedMessage> messages;
  WaitUntil([&] { return (messages = ParseRecordFile(ReadBytes(recordFile))).size() >= count; }, 10000);
  return messages;
}

inline bool IsProcessElevated() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return true;
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  const BOOL read = GetTokenInformation(token, TokenElevation, &elevation, sizeof elevation, &size);
  CloseHandle(token);
  return !read || elevation.TokenIsElevated != 0;
}

// Import hooks on Module() must go before this object does.
class DllMenuChoice {
 public:
  DllMenuChoice() = default;
  ~DllMenuChoice() {
    dll.reset();
    // The delivery thread gives back its own reference as it ends.
    EXPECT_TRUE(WaitUntil([] { return GetModuleHandleW(DllUnderTest::Path().c_str()) == nullptr; }, 10000));
  }
  DllMenuChoice(const DllMenuChoice&) = delete;
  DllMenuChoice& operator=(const DllMenuChoice&) = delete;

  HMODULE Module() const { return dll->Module(); }

  // "Sync to this device" for the paths; returns once the delivery thread
  // has ended.
  void SyncToThisDevice(const std::vector<std::wstring>& paths = pathsAB, DWORD milliseconds = 45000) {
    ComPtr<IContextMenu> menu;
    ASSERT_EQ(dll->CreateObject(TestClassId(0), IID_PPV_ARGS(&menu)), S_OK);
    QueryMenu(menu.Get(), DropDataObject(paths).Get());
    CMINVOKECOMMANDINFO invoke{};
    invoke.cbSize = sizeof invoke;
    invoke.lpVerb = MAKEINTRESOURCEA(2);
    EXPECT_EQ(menu->InvokeCommand(&invoke), S_OK);
    menu.Reset();
    EXPECT_TRUE(WaitUntil([&] { return dll->CanUnloadNow() == S_OK; }, milliseconds)) << "delivery still running";
  }

 private:
  std::optional<DllUnderTest> dll{std::in_place};
};
