#pragma once
// Counts a loaded module's GDI+ start-ups and shutdowns through its import
// table for the life of the object (one object at a time). A start-up while
// GDI+ already runs, or a shutdown while it does not, is an overlap: two
// threads raced over the count of its users.
#include <windows.h>

#include <atomic>

#include "support/importhook.h"

class GdiplusCalls {
 public:
  // startupDelayMs slows each start-up, which leaves room for a racing
  // thread on a busy machine.
  explicit GdiplusCalls(HMODULE module, DWORD startupDelayMs = 0);
  GdiplusCalls(const GdiplusCalls&) = delete;
  GdiplusCalls& operator=(const GdiplusCalls&) = delete;

  bool Installed() const { return startup.Installed() && shutdown.Installed(); }
  // Counts from zero again.
  void Reset();

  static inline std::atomic<int> startups{0}, shutdowns{0}, running{0}, overlaps{0};

 private:
  ImportHook startup;
  ImportHook shutdown;
};
