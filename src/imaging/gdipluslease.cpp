#include "imaging/gdipluslease.h"

#include <windows.h>
#include <gdiplus.h>

#include "util/uniquehandle.h"

namespace {
// The count and the start-up or shutdown it calls for change together.
CriticalSection gdiplusLock;
UINT gdiplusUsers = 0;
ULONG_PTR gdiplusToken = 0;
}  // namespace

void AcquireGdiplus() {
  SectionLock lock(gdiplusLock);
  if (gdiplusUsers == 0) {
    Gdiplus::GdiplusStartupInput input;  // version 1, no callback, own thread
    Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr);
  }
  ++gdiplusUsers;
}

void ReleaseGdiplus() {
  SectionLock lock(gdiplusLock);
  if (gdiplusUsers == 0) return;
  if (gdiplusUsers-- == 1) {
    Gdiplus::GdiplusShutdown(gdiplusToken);
    gdiplusToken = 0;
  }
}
