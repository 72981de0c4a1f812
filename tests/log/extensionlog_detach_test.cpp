// The DLL's process detach runs under the loader lock: it must not wait for
// the log's cross-process lock, and it writes the end line only when that
// lock is free at once.
#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "support/childprocess.h"
#include "support/dllundertest.h"
#include "support/logfiles.h"

namespace {
constexpr wchar_t logWriterMutex[] = L"Local\\TamveraSyncShellExtLog";

// Holds the log writers' mutex on a thread of its own (a mutex belongs to
// a thread) until the object goes.
class HeldWriterMutex {
 public:
  HeldWriterMutex() : thread(CreateThread(nullptr, 0, &Hold, this, 0, nullptr)) {
    WaitForSingleObject(held, 5000);
  }
  ~HeldWriterMutex() {
    SetEvent(release);
    WaitForSingleObject(thread, 5000);
    for (HANDLE handle : {thread, held, release}) CloseHandle(handle);
  }
  HeldWriterMutex(const HeldWriterMutex&) = delete;
  HeldWriterMutex& operator=(const HeldWriterMutex&) = delete;

 private:
  static DWORD WINAPI Hold(void* parameter) {
    auto* self = static_cast<HeldWriterMutex*>(parameter);
    HANDLE mutex = CreateMutexW(nullptr, TRUE, logWriterMutex);
    WaitForSingleObject(mutex, INFINITE);
    SetEvent(self->held);
    WaitForSingleObject(self->release, INFINITE);
    ReleaseMutex(mutex);
    ReleaseMutex(mutex);
    CloseHandle(mutex);
    return 0;
  }
  HANDLE held = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  HANDLE thread;
};

struct DetachCase {
  const char* name;
  bool lockHeldElsewhere;
  bool endLineWritten;
};

class Detach : public ::testing::TestWithParam<DetachCase> {
 protected:
  void SetUp() override { logSwitch.Remove(); }
  LogSwitch logSwitch{HKEY_CURRENT_USER};
  LogFolder folder;
};

TEST_P(Detach, ReturnsAtOnceAndEndsTheLogOnlyWhenItsLockIsFree) {
  const DetachCase& c = GetParam();
  std::optional<DllUnderTest> dll{std::in_place};
  IUnknown* object = nullptr;
  ASSERT_EQ(dll->CreateObject(TestClassId(0), IID_PPV_ARGS(&object)), S_OK);
  object->Release();
  std::optional<HeldWriterMutex> holder;
  if (c.lockHeldElsewhere) holder.emplace();

  const ULONGLONG before = GetTickCount64();
  dll.reset();
  const ULONGLONG took = GetTickCount64() - before;
  EXPECT_EQ(GetModuleHandleW(DllUnderTest::Path().c_str()), nullptr) << "the detach did run";
  // A waiting detach would take the writer mutex's full second.
  EXPECT_LT(took, 500u);
  holder.reset();

  const std::vector<std::wstring> messages = MessagesOf(ReadLogLines(folder.LogPath()), OwnSourceTag());
  ASSERT_FALSE(messages.empty());
  EXPECT_EQ(messages.front(), L"=== start ===");
  EXPECT_EQ(messages.back() == L"==== end ====", c.endLineWritten) << "last: " << std::string(messages.back().begin(), messages.back().end());
}

INSTANTIATE_TEST_SUITE_P(Locks, Detach, ::testing::Values(
    DetachCase{"LockFree", false, true}, DetachCase{"LockHeldByAnotherWriter", true, false}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
