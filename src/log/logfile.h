#pragma once
// The log's file. Several host processes append to the same log at once;
// opened for appending, this handle has append-only access, so every write
// lands whole at the end of the file whatever the other writers do.
#include "util/filehandle.h"

class LogFile final : public FileHandle {
 public:
  explicit LogFile(std::wstring path) : FileHandle(std::move(path)) {}

  // Append opens without FILE_WRITE_DATA; the other modes as any file.
  bool Open(OpenMode mode, bool unbuffered) override;

  // True when the path now names another file than the open one, as after
  // another process moved the log aside; false while the path cannot be
  // opened or the handle is closed.
  bool IsReplacedAtPath();
};
