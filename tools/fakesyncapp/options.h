#pragma once
#include <string>

// Command line of the stand-in application. Started without arguments (as
// "Tamvera Sync.exe" by the extension) it serves the per-user pipe and
// records beside its own executable.
struct Options {
  bool service = false;          // --service: the machine-wide names
  std::wstring recordFile;       // --record FILE (default: "received.txt" beside the exe)
  unsigned exitAfter = 0;        // --exit-after N messages (0: never)
  unsigned idleExitSeconds = 0;  // --idle-exit S without any message (default 120, 0: never)
  unsigned mutexDelayMs = 0;     // --mutex-delay MS before the mutex appears
  bool noPipe = false;           // --no-pipe: mutex only
  bool neverRead = false;        // --never-read: accept clients, read nothing
  unsigned maxInstances = PIPE_INSTANCES_UNLIMITED_VALUE;  // --instances N
  bool quiet = false;            // --quiet: do not print messages
  bool help = false;
  std::wstring error;
  static constexpr unsigned PIPE_INSTANCES_UNLIMITED_VALUE = 255;
};

Options ParseOptions(int argc, wchar_t** argv);
const wchar_t* UsageText();
