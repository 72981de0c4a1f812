// The stand-in application records exactly what a client writes, one entry
// per pipe message.
#include <windows.h>

#include <gtest/gtest.h>

#include "fakeapp.h"

namespace {

HANDLE OpenMessageClient(const wchar_t* pipeName) {
  HANDLE pipe = CreateFileW(pipeName, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (pipe == INVALID_HANDLE_VALUE) return nullptr;
  DWORD mode = PIPE_READMODE_MESSAGE;
  if (!SetNamedPipeHandleState(pipe, &mode, nullptr, nullptr)) {
    CloseHandle(pipe);
    return nullptr;
  }
  return pipe;
}

bool WriteMessage(HANDLE pipe, const std::string& bytes) {
  DWORD written = 0;
  return WriteFile(pipe, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
         written == bytes.size();
}

struct ServedPipe {
  const wchar_t* arguments;
  const wchar_t* pipeName;
};

class FakeSyncAppRecording : public ::testing::TestWithParam<ServedPipe> {};

TEST_P(FakeSyncAppRecording, RecordsEachMessageOfAConnectionWhole) {
  FakeSyncApp app(GetParam().arguments);
  ASSERT_TRUE(app.WaitReady());
  HANDLE pipe = OpenMessageClient(GetParam().pipeName);
  ASSERT_NE(pipe, nullptr) << GetLastError();
  // A NUL and a line feed inside a message must not split or end it.
  const std::string first = "d6:actioni3e4:path13:D:\\Sync\\a.txte";
  const std::string second("d1:x3:a\n\0e", 10);
  EXPECT_TRUE(WriteMessage(pipe, first));
  EXPECT_TRUE(WriteMessage(pipe, second));
  CloseHandle(pipe);

  ASSERT_GE(app.WaitForMessages(2).size(), 2u);
  Sleep(300);  // nothing more may follow
  const auto settled = app.Received();
  ASSERT_EQ(settled.size(), 2u);
  EXPECT_EQ(settled[0].bytes, first);
  EXPECT_EQ(settled[1].bytes, second);
  EXPECT_EQ(settled[0].connection, settled[1].connection);
}

INSTANTIATE_TEST_SUITE_P(Installations, FakeSyncAppRecording,
                         ::testing::Values(ServedPipe{L"", L"\\\\.\\pipe\\synccmd_sync"},
                                           ServedPipe{L"--service", L"\\\\.\\pipe\\syncsvccmd_sync"}));

}  // namespace
