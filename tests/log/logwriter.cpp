// One of several host processes sharing the extension log: writes numbered
// lines from several threads at once, all starting on the test's signal.
//   logwriter <writer number> <threads> <lines per thread> <start event>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "log/extensionlog.h"
#include "module/modulestate.h"

int main(int argc, char** argv) {
  if (argc != 5) return 2;
  const int writer = std::atoi(argv[1]);
  const int threads = std::atoi(argv[2]);
  const int lines = std::atoi(argv[3]);
  HANDLE start = OpenEventA(SYNCHRONIZE, FALSE, argv[4]);
  if (!start) return 3;

  // The tests switch this log through the machine root, so that hosts of the
  // DLL started meanwhile by other tests stay silent.
  registryRoot = HKEY_LOCAL_MACHINE;
  CreateExtensionLog();
  // Long lines with a character beyond ASCII make torn or mixed lines show.
  const std::wstring padding = std::wstring(150, L'x') + L"\u00e9";
  const bool started = WaitForSingleObject(start, 60000) == WAIT_OBJECT_0;
  CloseHandle(start);
  if (!started) return 4;

  std::vector<std::thread> pool;
  for (int thread = 0; thread < threads; ++thread) {
    pool.emplace_back([=, &padding] {
      for (int line = 0; line < lines; ++line)
        LogMessage(L"writer %d thread %d line %d %s", writer, thread, line, padding.c_str());
    });
  }
  for (std::thread& worker : pool) worker.join();
  DestroyExtensionLog();
  return 0;
}
