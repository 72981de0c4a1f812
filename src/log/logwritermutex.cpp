#include "log/logwritermutex.h"

namespace {

constexpr wchar_t mutexName[] = L"Local\\TamveraSyncShellExtLog";
// A writer holds the mutex for one line or one rotation only.
constexpr DWORD waitMilliseconds = 1000;

}  // namespace

// Without the mutex (another user's, or no access) the log still works:
// append-only writes keep every line whole; only rotations may then race.
LogWriterMutex::LogWriterMutex() : mutex(CreateMutexW(nullptr, FALSE, mutexName)) {}

bool LogWriterMutex::Acquire() {
  if (!mutex) return false;
  const DWORD result = WaitForSingleObject(mutex.Get(), waitMilliseconds);
  if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) return true;
  // A process that keeps the mutex this long is stuck; waiting again at
  // every line would stall this host each time.
  mutex.Reset();
  return false;
}

bool LogWriterMutex::TryAcquire() {
  if (!mutex) return false;
  const DWORD result = WaitForSingleObject(mutex.Get(), 0);
  return result == WAIT_OBJECT_0 || result == WAIT_ABANDONED;
}

void LogWriterMutex::Release() {
  if (mutex) ReleaseMutex(mutex.Get());
}
