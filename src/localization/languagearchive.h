#pragma once
// The zip archive of language files, read from a block of memory.
#include <windows.h>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "localization/datacontainer.h"
#include "localization/memoryzipio.h"
#include "util/uniquehandle.h"

class LanguageArchive {
 public:
  // Status of the archive: the container's own when it has no data,
  // openFailed when minizip does not take the bytes.
  enum : int { Open = 0, OpenFailed = 4 };

  enum class EntryStatus : int { Ok = 0, NotFound = 1, ReadFailed = 2, OpenFailed = 3 };

  struct Entry {
    std::string bytes;
    EntryStatus status = EntryStatus::NotFound;
    bool Ok() const { return status == EntryStatus::Ok; }
  };

  // Receives the archive's diagnostics; without one they are discarded.
  using TraceHook = std::function<void(const std::string& message)>;

  // Larger entries are refused rather than allocated; the language files are
  // a few kilobytes.
  static constexpr size_t entrySizeLimit = 4u << 20;
  // Names beyond this count are not listed.
  static constexpr size_t entryCountLimit = 4096;

  explicit LanguageArchive(std::shared_ptr<DataContainer> container, TraceHook trace = {});
  LanguageArchive(const LanguageArchive&) = delete;
  LanguageArchive& operator=(const LanguageArchive&) = delete;

  int Status() const { return status; }
  // Entry names in archive order.
  const std::vector<std::wstring>& EntryNames() const { return entryNames; }

  // The whole uncompressed content of the named entry ("/" in front is
  // ignored). Only an entry whose content is complete and intact is Ok.
  Entry ReadEntry(std::wstring_view name);

 private:
  void ListEntries();
  void Trace(const char* format, const std::string& name, int error = 0) const;

  CriticalSection lock;
  std::shared_ptr<DataContainer> container;
  MemoryZipStream stream;
  UniqueZip zip;
  std::vector<std::wstring> entryNames;
  int status = OpenFailed;
  TraceHook trace;
};
