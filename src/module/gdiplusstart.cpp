#include "module/gdiplusstart.h"

#include <windows.h>
#include <gdiplus.h>

#include "module/modulestate.h"

void AcquireGdiplus() {
  if (gdiplusUsers == 0) {
    Gdiplus::GdiplusStartupInput input;  // version 1, no callback, own thread
    Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr);
  }
  ++gdiplusUsers;
}

void ReleaseGdiplus() {
  if (gdiplusUsers == 0) return;
  if (gdiplusUsers-- == 1) {
    Gdiplus::GdiplusShutdown(gdiplusToken);
    gdiplusToken = 0;
  }
}
