// shellhost: loads the shell extension the way Explorer does and shows what
// it answers. One file per command; the table below lists them.
#include <windows.h>
#include <gdiplus.h>
#include <objbase.h>

#include <cstdio>
#include <string>
#include <vector>

#include "commands.h"
#include "unelevated.h"

namespace {

const Command* const commands[] = {&menuCommand, &invokeCommand, &commandCommand, &iconCommand};

void PrintUsage(FILE* stream) {
  std::fputws(L"usage: shellhost COMMAND ARGUMENTS...   (shellhost --help)\n\n"
              L"Creates the extension's objects through the registry, as Explorer does, or\n"
              L"through DllGetClassObject of the DLL given with --dll PATH when the DLL is\n"
              L"not registered, and drives them through their shell interfaces.\n"
              L"shellhost --unelevated COMMAND ... runs the command in a copy with the\n"
              L"linked (unelevated) token and answers with its exit code.\n\n"
              L"commands:\n",
              stream);
  for (const Command* command : commands) std::fputws(command->usage, stream);
}

// Ends COM and GDI+ after the command's objects are gone.
class Session {
 public:
  Session() {
    comStarted = SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED));
    Gdiplus::GdiplusStartupInput input;
    gdiplusStarted = Gdiplus::GdiplusStartup(&gdiplusToken, &input, nullptr) == Gdiplus::Ok;
  }
  ~Session() {
    if (gdiplusStarted) Gdiplus::GdiplusShutdown(gdiplusToken);
    if (comStarted) CoUninitialize();
  }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

 private:
  bool comStarted = false;
  bool gdiplusStarted = false;
  ULONG_PTR gdiplusToken = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv) try {
  if (IsUnelevatedRequest(argc, argv)) return RunUnelevated();
  if (argc < 2 || std::wstring(argv[1]) == L"--help" || std::wstring(argv[1]) == L"-h") {
    PrintUsage(argc < 2 ? stderr : stdout);
    return argc < 2 ? 2 : 0;
  }
  const std::wstring name = argv[1];
  for (const Command* command : commands) {
    if (name != command->name) continue;
    const std::vector<std::wstring> arguments(argv + 2, argv + argc);
    Session session;
    return command->run(arguments);
  }
  std::fwprintf(stderr, L"shellhost: unknown command \"%ls\" (see shellhost --help)\n", name.c_str());
  return 2;
} catch (...) {
  std::fputws(L"shellhost: out of memory\n", stderr);
  return 1;
}
