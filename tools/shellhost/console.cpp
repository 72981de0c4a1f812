#include "console.h"

#include <cstdio>
#include <cwchar>

int Fail(const std::wstring& message) {
  std::fwprintf(stderr, L"shellhost: %ls\n", message.c_str());
  return 1;
}

int UsageError(const std::wstring& message) {
  std::fwprintf(stderr, L"shellhost: %ls (see shellhost --help)\n", message.c_str());
  return 2;
}

std::wstring Hex(HRESULT result) {
  wchar_t text[16];
  std::swprintf(text, 16, L"0x%08lX", static_cast<unsigned long>(result));
  return text;
}
