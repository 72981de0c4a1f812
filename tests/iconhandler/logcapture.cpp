// Stands in for the extension log in the in-process tests; keeps the lines.
#include <cstdarg>
#include <cwchar>
#include <string>
#include <utility>
#include <vector>

#include "log/extensionlog.h"

namespace {
std::vector<std::wstring> loggedLines;
}

std::vector<std::wstring> TakeLoggedLines() { return std::exchange(loggedLines, {}); }

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
