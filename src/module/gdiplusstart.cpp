#include "module/gdiplusstart.h"

#include <windows.h>
#include <gdiplus.h>

#include "module/modulestate.h"
#include "util/uniquehandle.h"

namespace {
// Objects come and go on several apartment threads at once: the count and
// the start-up or shutdown it calls for change together.
CriticalSection gdiplusLock;
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
