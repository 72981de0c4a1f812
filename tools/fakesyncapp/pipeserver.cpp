#include "pipeserver.h"

#include <memory>
#include <vector>

namespace {
struct Client {
  HANDLE pipe;
  unsigned connection;
  bool neverRead;
  Recorder* recorder;
};
}  // namespace

PipeServer::PipeServer(std::wstring name, unsigned maxInstances, bool neverRead, Recorder& recorder)
    : name(std::move(name)), maxInstances(maxInstances), neverRead(neverRead), recorder(recorder) {}

HANDLE PipeServer::CreateInstance() const {
  return CreateNamedPipeW(name.c_str(), PIPE_ACCESS_INBOUND,
                          PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, maxInstances, 0, 65536, 0,
                          nullptr);
}

bool PipeServer::Listen() {
  pending = CreateInstance();
  return pending != INVALID_HANDLE_VALUE;
}

void PipeServer::Serve() {
  for (;;) {
    if (pending == INVALID_HANDLE_VALUE) {
      pending = CreateInstance();
      if (pending == INVALID_HANDLE_VALUE) {  // every instance in use
        Sleep(50);
        continue;
      }
    }
    // A client may connect, and even write everything and close, between
    // the creation of the instance and this call; its messages still wait
    // in the instance.
    const BOOL connected = ConnectNamedPipe(pending, nullptr) || GetLastError() == ERROR_PIPE_CONNECTED ||
                           GetLastError() == ERROR_NO_DATA;
    if (!connected) {
      CloseHandle(pending);
      pending = INVALID_HANDLE_VALUE;
      continue;
    }
    auto* client = new Client{pending, nextConnection++, neverRead, &recorder};
    pending = INVALID_HANDLE_VALUE;
    HANDLE thread = CreateThread(nullptr, 0, &PipeServer::ClientThread, client, 0, nullptr);
    if (thread) {
      CloseHandle(thread);
    } else {
      CloseHandle(client->pipe);
      delete client;
    }
  }
}

DWORD WINAPI PipeServer::ClientThread(void* parameter) {
  std::unique_ptr<Client> client(static_cast<Client*>(parameter));
  if (client->neverRead) {
    // Hold the connection open without reading until the client goes.
    for (;;) {
      DWORD available = 0;
      if (!PeekNamedPipe(client->pipe, nullptr, 0, nullptr, &available, nullptr)) break;
      Sleep(100);
    }
  } else {
    std::vector<char> buffer(65536);
    std::string message;
    for (;;) {
      DWORD read = 0;
      const BOOL ok = ReadFile(client->pipe, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr);
      if (!ok && GetLastError() == ERROR_MORE_DATA) {
        message.append(buffer.data(), read);
        continue;
      }
      if (!ok) break;
      message.append(buffer.data(), read);
      client->recorder->Record(client->connection, message);
      message.clear();
    }
  }
  DisconnectNamedPipe(client->pipe);
  CloseHandle(client->pipe);
  return 0;
}
