#include "iconhandler/logcapture.h"

#include <cstdarg>
#include <cwchar>

#include "log/extensionlog.h"

namespace {
std::vector<std::wstring> loggedLines;
}

std::vector<std::wstring> TakeLoggedLines() {
  std::vector<std::wstring> lines;
  lines.swap(loggedLines);
  return lines;
}

void CreateExtensionLog() {}
void DestroyExtensionLog() {}
bool RefreshLogSwitch() { return true; }

void LogMessage(const wchar_t* format, ...) {
  wchar_t line[512];
  va_list args;
  va_start(args, format);
  vswprintf(line, sizeof(line) / sizeof(line[0]), format, args);
  va_end(args);
  loggedLines.emplace_back(line);
}
