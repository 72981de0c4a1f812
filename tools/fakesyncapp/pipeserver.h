#pragma once
#include <windows.h>

#include <string>

#include "recorder.h"

// Serves a message-mode pipe: one thread per client connection, each pipe
// message recorded whole.
class PipeServer {
 public:
  PipeServer(std::wstring name, unsigned maxInstances, bool neverRead, Recorder& recorder);
  // Creates the first instance so that clients can open the pipe as soon as
  // this returns true.
  bool Listen();
  // Accepts connections forever on the calling thread.
  void Serve();

 private:
  HANDLE CreateInstance() const;
  static DWORD WINAPI ClientThread(void* parameter);

  std::wstring name;
  unsigned maxInstances;
  bool neverRead;
  Recorder& recorder;
  HANDLE pending = INVALID_HANDLE_VALUE;
  unsigned nextConnection = 1;
};
