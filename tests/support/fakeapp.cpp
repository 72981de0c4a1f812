#include "support/fakeapp.h"

#include <tlhelp32.h>

#include <cstdio>

#include "support/dllundertest.h"

std::vector<ReceivedMessage> ParseRecordFile(const std::string& text) {
  std::vector<ReceivedMessage> messages;
  size_t position = 0;
  while (position < text.size()) {
    const size_t lineEnd = text.find('\n', position);
    if (lineEnd == std::string::npos) break;
    unsigned connection = 0;
    unsigned long long length = 0;
    const size_t dataStart = lineEnd + 1;
    if (std::sscanf(text.substr(position, lineEnd - position).c_str(), "message %u %llu", &connection, &length) != 2 ||
        length >= text.size() - dataStart || text[dataStart + length] != '\n')
      break;
    messages.push_back({connection, text.substr(dataStart, length)});
    position = dataStart + length + 1;
  }
  return messages;
}

std::wstring FakeSyncAppPath() { return ProgramDirectory() + L"\\fakesyncapp.exe"; }

void KillProcessesNamed(const wchar_t* fileName) {
  HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snapshot == INVALID_HANDLE_VALUE) return;
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof entry;
  for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry)) {
    if (_wcsicmp(entry.szExeFile, fileName) != 0) continue;
    if (HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID)) {
      TerminateProcess(process, 1);
      WaitForSingleObject(process, 5000);
      CloseHandle(process);
    }
  }
  CloseHandle(snapshot);
}

namespace {
// The extension sends only to the "Tamvera Sync.exe" of the installation's
// registered location: where a test registered one, the stand-in runs from
// that name there, a hard link to it unless the test put a program there.
std::wstring StandInPath(bool service) {
  wchar_t location[MAX_PATH] = {};
  DWORD size = sizeof location;
  if (RegGetValueW(service ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER, uninstallKey, L"InstallLocation", RRF_RT_REG_SZ,
                   nullptr, location, &size) != ERROR_SUCCESS ||
      !location[0])
    return FakeSyncAppPath();
  std::wstring path = location;
  if (path.back() != L'\\') path += L'\\';
  path += L"Tamvera Sync.exe";
  if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES &&
      !CreateHardLinkW(path.c_str(), FakeSyncAppPath().c_str(), nullptr) &&
      !CopyFileW(FakeSyncAppPath().c_str(), path.c_str(), TRUE))
    return FakeSyncAppPath();
  return path;
}
}  // namespace

FakeSyncApp::FakeSyncApp(const std::wstring& arguments)
    : service(arguments.find(L"--service") != std::wstring::npos),
      process(L"\"" + StandInPath(service) + L"\" --quiet --idle-exit 300 --record \"" + folder.Path() +
                  L"\\received.txt\" " + arguments,
              folder.Path() + L"\\output.txt") {}

bool FakeSyncApp::WaitReady(DWORD milliseconds) {
  const wchar_t* name = service ? L"Global\\pipesynccmd_sync" : L"Local\\pipesynccmd_sync";
  const bool present = WaitUntil(
      [&] {
        HANDLE mutex = OpenMutexW(SYNCHRONIZE, FALSE, name);
        if (mutex) CloseHandle(mutex);
        return mutex != nullptr;
      },
      milliseconds);
  // A copy left over from another run would hold the mutex while this one
  // leaves at once; its messages would go elsewhere.
  return present && process.Wait(0) == STILL_ACTIVE;
}

std::vector<ReceivedMessage> FakeSyncApp::Received() const {
  return ParseRecordFile(ReadBytes(folder.Path() + L"\\received.txt"));
}

std::vector<ReceivedMessage> FakeSyncApp::WaitForMessages(size_t count, DWORD milliseconds) const {
  std::vector<ReceivedMessage> messages;
  WaitUntil([&] { return (messages = Received()).size() >= count; }, milliseconds);
  return messages;
}
