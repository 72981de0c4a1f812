// A stand-in for the synchronisation application: the presence mutex and the
// command pipe the extension relies on, recording what arrives.
#include <windows.h>

#include <cstdio>
#include <string>

#include "options.h"
#include "pipeserver.h"
#include "recorder.h"

namespace {
std::wstring DefaultRecordFile() {
  wchar_t buffer[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::wstring path = buffer;
  return path.substr(0, path.find_last_of(L"\\/") + 1) + L"received.txt";
}

// Started with no command line, a process sees its own path as the command
// line, unquoted on Windows; "Tamvera Sync.exe" would split into arguments.
bool CommandLineIsOwnPath() {
  wchar_t own[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, own, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  std::wstring line = GetCommandLineW();
  while (!line.empty() && (line.back() == L' ' || line.back() == L'\t')) line.pop_back();
  if (line.size() >= 2 && line.front() == L'"' && line.back() == L'"') line = line.substr(1, line.size() - 2);
  return CompareStringOrdinal(line.c_str(), -1, own, -1, TRUE) == CSTR_EQUAL;
}

std::string Utf8(const std::wstring& text) {
  const int size = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr,
                                       nullptr);
  std::string bytes(size > 0 ? size : 0, '\0');
  if (size > 0)
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
  return bytes;
}

// How this copy was started, for the tests of the extension's start of the
// application: "started.txt" beside the record file, UTF-8, one line each.
void RecordStart(const std::wstring& recordFile) {
  wchar_t directory[MAX_PATH] = {};
  GetCurrentDirectoryW(MAX_PATH, directory);
  const std::string text =
      "directory " + Utf8(directory) + "\n" + "command " + Utf8(GetCommandLineW()) + "\n";
  const std::wstring path = recordFile.substr(0, recordFile.find_last_of(L"\\/") + 1) + L"started.txt";
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  DWORD written = 0;
  WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  CloseHandle(file);
}

struct Watch {
  const Options* options;
  Recorder* recorder;
};

DWORD WINAPI Watchdog(void* parameter) {
  const auto* watch = static_cast<Watch*>(parameter);
  for (;;) {
    Sleep(50);
    if (watch->options->exitAfter && watch->recorder->Count() >= watch->options->exitAfter) ExitProcess(0);
    if (watch->options->idleExitSeconds &&
        GetTickCount64() - watch->recorder->LastActivity() > watch->options->idleExitSeconds * 1000ULL)
      ExitProcess(0);
  }
}
}  // namespace

int wmain(int argc, wchar_t** argv) {
  const Options options = ParseOptions(CommandLineIsOwnPath() ? 1 : argc, argv);
  if (options.help) {
    std::fputws(UsageText(), stdout);
    return 0;
  }
  if (!options.error.empty()) {
    std::fwprintf(stderr, L"fakesyncapp: %ls (see --help)\n", options.error.c_str());
    return 2;
  }
  const std::wstring recordFile = options.recordFile.empty() ? DefaultRecordFile() : options.recordFile;
  Recorder recorder(recordFile, options.quiet);
  if (!recorder.Ok()) {
    std::fwprintf(stderr, L"fakesyncapp: cannot open record file %ls\n", recordFile.c_str());
    return 1;
  }

  RecordStart(recordFile);

  const wchar_t* mutexName = options.service ? L"Global\\pipesynccmd_sync" : L"Local\\pipesynccmd_sync";
  const wchar_t* pipeName = options.service ? L"\\\\.\\pipe\\syncsvccmd_sync" : L"\\\\.\\pipe\\synccmd_sync";

  // One copy per scope, as the application itself: a second start leaves.
  if (HANDLE running = OpenMutexW(SYNCHRONIZE, FALSE, mutexName)) {
    CloseHandle(running);
    if (!options.quiet) std::wprintf(L"fakesyncapp: already running (%ls)\n", mutexName);
    return 0;
  }

  PipeServer server(pipeName, options.maxInstances, options.neverRead, recorder);
  if (!options.noPipe && !server.Listen()) {
    std::fwprintf(stderr, L"fakesyncapp: cannot create pipe %ls (%lu)\n", pipeName, GetLastError());
    return 1;
  }
  // The mutex announces a pipe that can already be opened.
  if (options.mutexDelayMs) Sleep(options.mutexDelayMs);
  HANDLE mutex = CreateMutexW(nullptr, FALSE, mutexName);
  if (!mutex) {
    std::fwprintf(stderr, L"fakesyncapp: cannot create mutex %ls (%lu)\n", mutexName, GetLastError());
    return 1;
  }
  if (!options.quiet) {
    std::wprintf(L"fakesyncapp: ready on %ls, recording to %ls\n", options.noPipe ? L"(no pipe)" : pipeName,
                 recordFile.c_str());
    std::fflush(stdout);
  }

  Watch watch{&options, &recorder};
  HANDLE watchdog = CreateThread(nullptr, 0, &Watchdog, &watch, 0, nullptr);
  if (watchdog) CloseHandle(watchdog);
  if (options.noPipe) {
    Sleep(INFINITE);
  }
  server.Serve();
  CloseHandle(mutex);
  return 0;
}
