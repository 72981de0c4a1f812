#include "channel/delivery.h"

#include <memory>

#include "bencode/bencencode.h"
#include "bencode/bencodeddict.h"
#include "channel/applicationstart.h"
#include "channel/pipeclient.h"
#include "channel/serveridentity.h"
#include "util/uniquehandle.h"
#include "log/extensionlog.h"
#include "com/errorbarrier.h"
#include "com/modulereference.h"

namespace {
// Every instance of the pipe can be busy for a moment, for instance while
// the application sets up the next instance after accepting a client.
constexpr ULONGLONG pipeBusyLimitMs = 5000;
constexpr DWORD pipeBusyPollMs = 50;
// An application that stops reading would otherwise hold the thread, and
// with it this DLL, for good.
constexpr DWORD writeLimitMs = 10000;

UniqueFile OpenCommandPipe(const std::wstring& name) {
  const ULONGLONG deadline = GetTickCount64() + pipeBusyLimitMs;
  for (;;) {
    // Identification only: whatever serves the pipe can learn who the user
    // is but cannot act as the user.
    UniqueFile pipe(CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                FILE_FLAG_OVERLAPPED | SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION, nullptr));
    if (pipe.Valid() || GetLastError() != ERROR_PIPE_BUSY) return pipe;
    const ULONGLONG now = GetTickCount64();
    if (now >= deadline) return pipe;
    // A free instance is only a hint: another client may take it first, and
    // the wait fails at once while the server has no instance at all.
    if (!WaitNamedPipeW(name.c_str(), static_cast<DWORD>(deadline - now))) Sleep(pipeBusyPollMs);
  }
}

enum class WriteResult { Written, Failed, Stalled };

WriteResult WriteMessage(HANDLE pipe, HANDLE event, const void* data, DWORD length) {
  OVERLAPPED overlapped{};
  overlapped.hEvent = event;
  DWORD written = 0;
  if (WriteFile(pipe, data, length, &written, &overlapped)) return WriteResult::Written;
  if (GetLastError() != ERROR_IO_PENDING) return WriteResult::Failed;
  if (WaitForSingleObject(event, writeLimitMs) != WAIT_OBJECT_0) {
    CancelIoEx(pipe, &overlapped);
    // The buffer and the OVERLAPPED must outlive the cancelled write.
    GetOverlappedResult(pipe, &overlapped, &written, TRUE);
    return WriteResult::Stalled;
  }
  return GetOverlappedResult(pipe, &overlapped, &written, FALSE) ? WriteResult::Written : WriteResult::Failed;
}

void WriteBatch(HANDLE pipe, const CommandBatch& batch) {
  const UniqueKernelObject event(CreateEventW(nullptr, TRUE, FALSE, nullptr));
  if (!event.Valid()) return;
  for (const auto& message : batch) {
    if (!message) continue;
    const ByteBuffer encoded = BencEncode(*message);
    if (encoded.Size() == 0) continue;
    ResetEvent(event.Get());
    // A failed write does not stop the others; a stalled pipe takes no more.
    if (WriteMessage(pipe, event.Get(), encoded.Data(), encoded.Size()) == WriteResult::Stalled) return;
  }
}

struct DeliveryJob {
  std::wstring pipeName;
  CommandBatch batch;
  HMODULE module;
};

DWORD WINAPI DeliveryThread(void* parameter) {
  auto* job = static_cast<DeliveryJob*>(parameter);
  const HMODULE module = job->module;
  try {
    // Handing the batch over allocates: a deque left behind by a move gets
    // a new map of its own.
    DeliverCommands(std::move(job->pipeName), std::move(job->batch));
  }
  CATCH_SWALLOW()
  delete job;
  DecrementModuleObjectCount();
  // The reference taken by StartDelivery kept this code loaded; it is given
  // back by a system function that never returns here, so nothing of this
  // DLL (nor of the runtime linked into it) runs after a host unloaded it.
  FreeLibraryAndExitThread(module, 0);
}
}  // namespace

void DeliverCommands(std::wstring pipeName, CommandBatch batch) noexcept {
  try {
    RefreshLogSwitch();
    if (pipeName.empty()) pipeName = StartApplication();
    if (pipeName.empty()) return;
    const UniqueFile pipe = OpenCommandPipe(pipeName);
    if (!pipe.Valid()) return;
    // Checked before the first write: another process may serve the name.
    if (!IsExpectedServer(pipe.Get(), pipeName)) return;
    DWORD mode = PIPE_READMODE_MESSAGE;
    if (!SetNamedPipeHandleState(pipe.Get(), &mode, nullptr, nullptr)) return;
    WriteBatch(pipe.Get(), batch);
  }
  CATCH_SWALLOW()
}

void StartDelivery(std::wstring pipeName, CommandBatch batch) {
  try {
    auto job = std::make_unique<DeliveryJob>(DeliveryJob{std::move(pipeName), std::move(batch), nullptr});
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&DeliveryThread),
                            &job->module))
      return;
    const HMODULE module = job->module;
    IncrementModuleObjectCount();
    const UniqueKernelObject thread(CreateThread(nullptr, 0, &DeliveryThread, job.get(), 0, nullptr));
    if (!thread) {
      job.reset();
      DecrementModuleObjectCount();
      FreeLibrary(module);
      return;
    }
    job.release();
  }
  CATCH_SWALLOW()
}
