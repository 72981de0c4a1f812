#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "support/childprocess.h"
#include "support/testfiles.h"

// One pipe message as fakesyncapp recorded it.
struct ReceivedMessage {
  unsigned connection = 0;
  std::string bytes;
};

// The entries of a fakesyncapp record file; a torn entry ends the list.
std::vector<ReceivedMessage> ParseRecordFile(const std::string& text);
std::wstring FakeSyncAppPath();
// Ends every process with this executable file name.
void KillProcessesNamed(const wchar_t* fileName);

inline constexpr wchar_t uninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tamvera Sync";

// Ends, with the scope, the application that the extension started (not the test's child).
struct StartedApplication {
  ~StartedApplication() { KillProcessesNamed(L"Tamvera Sync.exe"); }
};

// fakesyncapp started by the test, recording into a folder of its own; killed with the object.
class FakeSyncApp {
 public:
  explicit FakeSyncApp(const std::wstring& arguments = {});
  // The presence mutex exists and it is this process that serves the pipe.
  bool WaitReady(DWORD milliseconds = 20000);
  std::vector<ReceivedMessage> Received() const;
  // Waits until at least count messages are recorded; returns what is there.
  std::vector<ReceivedMessage> WaitForMessages(size_t count, DWORD milliseconds = 20000) const;
  void Kill() { process.Kill(); }

 private:
  bool service;
  TempFolder folder;
  ChildProcess process;
};
