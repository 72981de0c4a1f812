#include "support/gdipluscalls.h"

#include <gdiplus.h>

namespace {
void* realStartup = nullptr;
void* realShutdown = nullptr;
DWORD delayMs = 0;

Gdiplus::Status WINAPI CountedStartup(ULONG_PTR* token, const Gdiplus::GdiplusStartupInput* input,
                                      Gdiplus::GdiplusStartupOutput* output) {
  ++GdiplusCalls::startups;
  if (GdiplusCalls::running++ != 0) ++GdiplusCalls::overlaps;
  if (delayMs) Sleep(delayMs);
  return reinterpret_cast<decltype(&CountedStartup)>(realStartup)(token, input, output);
}

void WINAPI CountedShutdown(ULONG_PTR token) {
  ++GdiplusCalls::shutdowns;
  if (--GdiplusCalls::running != 0) ++GdiplusCalls::overlaps;
  reinterpret_cast<decltype(&CountedShutdown)>(realShutdown)(token);
}
}  // namespace

GdiplusCalls::GdiplusCalls(HMODULE module, DWORD startupDelayMs)
    : startup(module, "gdiplus.dll", "GdiplusStartup", reinterpret_cast<void*>(&CountedStartup)),
      shutdown(module, "gdiplus.dll", "GdiplusShutdown", reinterpret_cast<void*>(&CountedShutdown)) {
  realStartup = startup.Original();
  realShutdown = shutdown.Original();
  delayMs = startupDelayMs;
  Reset();
}

void GdiplusCalls::Reset() { startups = shutdowns = running = overlaps = 0; }
