#include "channel/serveridentity.h"

#include <optional>

#include "channel/applicationstart.h"
#include "channel/installscope.h"
#include "channel/pipeclient.h"
#include "log/extensionlog.h"
#include "util/uniquehandle.h"

namespace {

std::wstring ProcessImagePath(ULONG processId) {
  const UniqueKernelObject process(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
  if (!process.Valid()) return {};
  std::wstring buffer(32768, L'\0');
  DWORD length = static_cast<DWORD>(buffer.size());
  if (!QueryFullProcessImageNameW(process.Get(), 0, buffer.data(), &length)) return {};
  buffer.resize(length);
  return buffer;
}

// Any other process of the session could create the per-user pipe's name
// before the application does and would then be handed the user's paths.
bool IsInOwnSession(HANDLE pipe) {
  ULONG serverSession = 0;
  DWORD ownSession = 0;
  if (!GetNamedPipeServerSessionId(pipe, &serverSession) ||
      !ProcessIdToSessionId(GetCurrentProcessId(), &ownSession)) {
    LogMessage(L"Command pipe: the session of its server cannot be read (%u); batch dropped",
               static_cast<unsigned>(GetLastError()));
    return false;
  }
  if (serverSession == ownSession) return true;
  LogMessage(L"Command pipe: served from session %u, not from this session %u; batch dropped",
             static_cast<unsigned>(serverSession), static_cast<unsigned>(ownSession));
  return false;
}

}  // namespace

bool IsExpectedServer(HANDLE pipe, const std::wstring& pipeName) {
  const bool service = IsServicePipe(pipeName);
  ULONG serverId = 0;
  if (!GetNamedPipeServerProcessId(pipe, &serverId)) {
    LogMessage(L"Command pipe: its server process cannot be identified (%u); batch dropped",
               static_cast<unsigned>(GetLastError()));
    return false;
  }
  if (!service && !IsInOwnSession(pipe)) return false;

  const std::wstring location = ReadInstallLocation(service ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER);
  if (location.empty()) return true;
  const std::wstring expected = ApplicationExecutableIn(location);
  const std::wstring image = ProcessImagePath(serverId);
  const std::optional<FileIdentity> expectedFile = IdentityOfFile(expected);
  const std::optional<FileIdentity> serverFile = image.empty() ? std::nullopt : IdentityOfFile(image);
  if (!expectedFile) {
    LogMessage(L"Command pipe: %s cannot be read, so server process %u (%s) is not known to be it; batch dropped",
               expected.c_str(), static_cast<unsigned>(serverId), image.c_str());
    return false;
  }
  if (!serverFile) {
    LogMessage(L"Command pipe: the program file of server process %u (%s) cannot be read; batch dropped",
               static_cast<unsigned>(serverId), image.c_str());
    return false;
  }
  if (*expectedFile == *serverFile) return true;
  LogMessage(L"Command pipe: served by %s, not by %s; batch dropped", image.c_str(), expected.c_str());
  return false;
}
