#include "util/ntdllimports.h"

#include <atomic>

namespace {

using RtlTimeToSecondsSince1970Function = BOOLEAN(NTAPI*)(PLARGE_INTEGER, PULONG);
using RtlNtStatusToDosErrorFunction = ULONG(NTAPI*)(NTSTATUS);

FARPROC NtdllFunction(const char* name) {
  HMODULE ntdll = GetModuleHandleA("ntdll");
  if (ntdll == nullptr) ntdll = LoadLibraryA("ntdll");
  return ntdll == nullptr ? nullptr : GetProcAddress(ntdll, name);
}

// A failed lookup is tried again on the next use; a race only repeats it.
std::atomic<RtlTimeToSecondsSince1970Function> timeToSeconds{nullptr};

RtlTimeToSecondsSince1970Function TimeToSecondsEntry() {
  RtlTimeToSecondsSince1970Function function = timeToSeconds.load();
  if (function != nullptr) return function;
  HMODULE ntdll = LoadLibraryA("ntdll.dll");
  if (ntdll == nullptr) return nullptr;
  function = reinterpret_cast<RtlTimeToSecondsSince1970Function>(
      reinterpret_cast<void*>(GetProcAddress(ntdll, "RtlTimeToSecondsSince1970")));
  timeToSeconds.store(function);
  return function;
}

}  // namespace

NtQueryInformationFileFunction NtQueryInformationFileEntry() {
  static const NtQueryInformationFileFunction function = reinterpret_cast<NtQueryInformationFileFunction>(
      reinterpret_cast<void*>(NtdllFunction("NtQueryInformationFile")));
  return function;
}

uint32_t FileTimeToUnixSeconds(const FILETIME& time) {
  const RtlTimeToSecondsSince1970Function function = TimeToSecondsEntry();
  if (function == nullptr) return 0;
  LARGE_INTEGER value;
  value.LowPart = time.dwLowDateTime;
  value.HighPart = static_cast<LONG>(time.dwHighDateTime);
  ULONG seconds = 0;
  return function(&value, &seconds) ? seconds : 0;
}

DWORD NtStatusToWin32Error(NTSTATUS status) {
  static const auto function = reinterpret_cast<RtlNtStatusToDosErrorFunction>(
      reinterpret_cast<void*>(NtdllFunction("RtlNtStatusToDosError")));
  return function != nullptr ? function(status) : ERROR_GEN_FAILURE;
}
