#pragma once
// The few ntdll functions the file layer needs, found at run time because
// they are not part of the documented import libraries' contract.
#include <windows.h>
#include <winternl.h>

#include <cstdint>

using NtQueryInformationFileFunction = NTSTATUS(NTAPI*)(HANDLE, PIO_STATUS_BLOCK, PVOID, ULONG,
                                                         FILE_INFORMATION_CLASS);

// Looked up once per process (thread-safe); null when ntdll lacks it.
NtQueryInformationFileFunction NtQueryInformationFileEntry();

// The time as whole seconds since 1970-01-01 UTC through
// RtlTimeToSecondsSince1970; 0 when the function is unavailable or the time
// lies outside 1970 to 2106.
uint32_t FileTimeToUnixSeconds(const FILETIME& time);

// Win32 error code of an NTSTATUS.
DWORD NtStatusToWin32Error(NTSTATUS status);
