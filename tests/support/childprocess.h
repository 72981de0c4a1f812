#pragma once
#include <windows.h>

#include <string>

// A program started by a test; killed when the object goes if still running.
class ChildProcess {
 public:
  // commandLine is passed to CreateProcessW as is; standard error and output
  // go to outputFile when it is given.
  ChildProcess(const std::wstring& commandLine, const std::wstring& outputFile = {});
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  bool Started() const { return process != nullptr; }
  // Exit code, or STILL_ACTIVE when it did not end within the timeout.
  DWORD Wait(DWORD milliseconds);
  void Kill();

 private:
  HANDLE process = nullptr;
};

// Polls until the predicate holds or the timeout ends; returns the predicate.
template <typename Predicate>
bool WaitUntil(Predicate predicate, DWORD milliseconds) {
  const ULONGLONG end = GetTickCount64() + milliseconds;
  while (!predicate()) {
    if (GetTickCount64() >= end) return predicate();
    Sleep(20);
  }
  return true;
}
