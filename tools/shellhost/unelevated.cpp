#include "unelevated.h"

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

namespace {
constexpr wchar_t flag[] = L"--unelevated";

// The own command line without the flag, so that the child does not start
// another child.
std::wstring CommandLineWithoutFlag() {
  std::wstring line = GetCommandLineW();
  const size_t at = line.find(std::wstring(L" ") + flag);
  if (at != std::wstring::npos) line.erase(at, std::char_traits<wchar_t>::length(flag) + 1);
  return line;
}

HANDLE LinkedPrimaryToken() {
  HANDLE own = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &own)) return nullptr;
  TOKEN_LINKED_TOKEN linked{};
  DWORD size = 0;
  const BOOL read = GetTokenInformation(own, TokenLinkedToken, &linked, sizeof linked, &size);
  CloseHandle(own);
  if (!read) return nullptr;
  HANDLE primary = nullptr;
  DuplicateTokenEx(linked.LinkedToken, TOKEN_ALL_ACCESS, nullptr, SecurityIdentification, TokenPrimary, &primary);
  CloseHandle(linked.LinkedToken);
  return primary;
}
}  // namespace

bool IsUnelevatedRequest(int argc, wchar_t** argv) { return argc >= 2 && std::wstring(argv[1]) == flag; }

int RunUnelevated() {
  HANDLE token = LinkedPrimaryToken();
  if (!token) {
    std::fwprintf(stderr, L"shellhost: no linked token (%lu)\n", GetLastError());
    return 1;
  }
  std::wstring line = CommandLineWithoutFlag();
  std::vector<wchar_t> buffer(line.begin(), line.end());
  buffer.push_back(L'\0');
  // The copy writes to this copy's output, wherever that goes.
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  for (HANDLE handle : {startup.hStdInput, startup.hStdOutput, startup.hStdError})
    if (handle && handle != INVALID_HANDLE_VALUE) SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessAsUserW(token, nullptr, buffer.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                            nullptr, &startup, &process);
  CloseHandle(token);
  if (!started) {
    std::fwprintf(stderr, L"shellhost: cannot start the unelevated copy (%lu)\n", GetLastError());
    return 1;
  }
  CloseHandle(process.hThread);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hProcess);
  return static_cast<int>(code);
}
