#pragma once
#include <windows.h>

#include "util/uniquehandle.h"

// Serialises the log writers of all processes of the session: a rotation in
// one process must not meet a line or a rotation of another. Re-entrant for
// the owning thread, like the mutex beneath it.
class LogWriterMutex {
 public:
  LogWriterMutex();
  LogWriterMutex(const LogWriterMutex&) = delete;
  LogWriterMutex& operator=(const LogWriterMutex&) = delete;

  // Waits a bounded time; false when the mutex could not be had.
  bool Acquire();
  // Does not wait: false when another writer holds the mutex.
  bool TryAcquire();
  void Release();

 private:
  UniqueKernelObject mutex;
};

class LogWriterScope {
 public:
  explicit LogWriterScope(LogWriterMutex& writers) : writers(writers), held(writers.Acquire()) {}
  ~LogWriterScope() {
    if (held) writers.Release();
  }
  LogWriterScope(const LogWriterScope&) = delete;
  LogWriterScope& operator=(const LogWriterScope&) = delete;

 private:
  LogWriterMutex& writers;
  bool held;
};
