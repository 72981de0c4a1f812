#include "options.h"

#include <cwchar>

namespace {
bool ReadNumber(const wchar_t* text, unsigned& out) {
  wchar_t* end = nullptr;
  const unsigned long value = std::wcstoul(text, &end, 10);
  if (!end || *end != 0 || end == text) return false;
  out = static_cast<unsigned>(value);
  return true;
}
}  // namespace

Options ParseOptions(int argc, wchar_t** argv) {
  Options options;
  options.idleExitSeconds = 120;
  for (int i = 1; i < argc; ++i) {
    const std::wstring arg = argv[i];
    const bool hasValue = i + 1 < argc;
    auto number = [&](unsigned& out) {
      if (!hasValue || !ReadNumber(argv[++i], out)) options.error = L"bad or missing number after " + arg;
    };
    if (arg == L"--service") options.service = true;
    else if (arg == L"--record" && hasValue) options.recordFile = argv[++i];
    else if (arg == L"--exit-after") number(options.exitAfter);
    else if (arg == L"--idle-exit") number(options.idleExitSeconds);
    else if (arg == L"--mutex-delay") number(options.mutexDelayMs);
    else if (arg == L"--instances") number(options.maxInstances);
    else if (arg == L"--no-pipe") options.noPipe = true;
    else if (arg == L"--never-read") options.neverRead = true;
    else if (arg == L"--quiet") options.quiet = true;
    else if (arg == L"--help" || arg == L"-h" || arg == L"/?") options.help = true;
    else options.error = L"unknown argument " + arg;
    if (!options.error.empty()) break;
  }
  if (options.maxInstances == 0 || options.maxInstances > 255) options.maxInstances = 255;
  return options;
}

const wchar_t* UsageText() {
  return L"fakesyncapp: stands in for the synchronisation application.\n"
         L"It creates the presence mutex, serves the message-mode command pipe and\n"
         L"records every message it receives, byte for byte.\n\n"
         L"  --service         use Global\\pipesynccmd_sync and \\\\.\\pipe\\syncsvccmd_sync\n"
         L"                    (default: Local\\pipesynccmd_sync and \\\\.\\pipe\\synccmd_sync)\n"
         L"  --record FILE     where to record (default: received.txt beside the program)\n"
         L"  --exit-after N    end after N messages\n"
         L"  --idle-exit S     end after S seconds without a message (default 120, 0 never)\n"
         L"  --mutex-delay MS  create the mutex only after MS milliseconds\n"
         L"  --no-pipe         create the mutex but no pipe\n"
         L"  --never-read      accept connections but never read from them\n"
         L"  --instances N     at most N pipe instances (1 makes a second client busy)\n"
         L"  --quiet           do not print the messages\n\n"
         L"Record format, per message: a line \"message CONNECTION LENGTH\", then LENGTH\n"
         L"bytes exactly as received, then a line feed.\n";
}
