#include "support/childprocess.h"

#include <vector>

ChildProcess::ChildProcess(const std::wstring& commandLine, const std::wstring& outputFile) {
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  HANDLE output = INVALID_HANDLE_VALUE;
  if (!outputFile.empty()) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    output = CreateFileW(outputFile.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                         CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
    startup.hStdError = output;
    startup.hStdInput = nullptr;
  }
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(L'\0');
  PROCESS_INFORMATION info{};
  if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, output != INVALID_HANDLE_VALUE, 0, nullptr,
                     nullptr, &startup, &info)) {
    process = info.hProcess;
    CloseHandle(info.hThread);
  }
  if (output != INVALID_HANDLE_VALUE) CloseHandle(output);
}

ChildProcess::~ChildProcess() {
  Kill();
  if (process) CloseHandle(process);
}

DWORD ChildProcess::Wait(DWORD milliseconds) {
  if (!process) return STILL_ACTIVE;
  if (WaitForSingleObject(process, milliseconds) != WAIT_OBJECT_0) return STILL_ACTIVE;
  DWORD code = STILL_ACTIVE;
  GetExitCodeProcess(process, &code);
  return code;
}

void ChildProcess::Kill() {
  if (process && WaitForSingleObject(process, 0) == WAIT_TIMEOUT) {
    TerminateProcess(process, 1);
    WaitForSingleObject(process, 5000);
  }
}
