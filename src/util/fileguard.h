#pragma once
// Bencoded state files with an integrity header (see fileguardheader.h).
#include <windows.h>

#include <cstddef>
#include <string>

#include "util/safefile.h"

class BencEntity;

// Writes the content, with a file-guard header when it starts with 'd'.
bool WriteGuardedFile(const std::wstring& path, const void* data, size_t length);
// The plain content of a possibly guarded file. A digest that does not match
// fails with error ERROR_FILE_NOT_FOUND; a failed read leaves the read's
// Win32 code there.
WholeFile ReadGuardedFile(const std::wstring& path, DWORD& error);

enum LoadBencodedResult : int {
  loadBencodedOk = 0,
  loadBencodedMissing = 2,    // the path is missing or is a directory
  loadBencodedMalformed = 4,  // not exactly one bencoded value
  loadBencodedUnreadable = 5, // the read or the guard check failed
};

int LoadBencodedFile(const std::wstring& path, BencEntity& value);
// Writes "path.new", reads it back, keeps the old file as "path.old" and
// moves the new one in place; the target is never removed before the new
// content has been confirmed.
bool SaveBencodedFile(const std::wstring& path, const void* data, size_t length);
