#pragma once
#include <windows.h>

#include <string>

// One-line messages of the tool: failures exit 1, usage errors exit 2.
int Fail(const std::wstring& message);
int UsageError(const std::wstring& message);
std::wstring Hex(HRESULT result);
