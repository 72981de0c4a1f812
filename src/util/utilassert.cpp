#include "util/utilassert.h"

#include <windows.h>

#include <cstdlib>

#include "util/strfmt.h"

void ReportAssertion(const char* sourceName, int line, int code) {
  char text[512];
  const size_t length = FormatToBuffer(text, sizeof text, "\nassert failed %s:%d (%d)\n", sourceName, line, code);
  const HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
  if (error && error != INVALID_HANDLE_VALUE) {
    DWORD written = 0;
    WriteFile(error, text, static_cast<DWORD>(length), &written, nullptr);
  }
  // At once: no destructors, no atexit handlers, nothing of a host process
  // that may be in a broken state.
  TerminateProcess(GetCurrentProcess(), 3);
  std::_Exit(3);
}
