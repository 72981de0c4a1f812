#pragma once
// The identity record at the root of every synchronised folder.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

struct SyncFolderInfo {
  uint32_t type = 0;
  bool mode = false;
  bool disable_remove_from_all_devices = false;
  std::wstring owner;
};

// The path holds a ".sync\ID" file (not a folder).
bool IsSyncFolderRoot(const std::wstring& folder);
// Nearest enclosing root of the path, never the path itself; empty when none.
std::wstring FindSyncFolderRoot(const std::wstring& path);
// Reads the root's identity stream; false when no stream could be opened.
bool ReadSyncFolderInfo(const std::wstring& root, SyncFolderInfo& info);
// The record from the stream's bytes; every field is written.
void DecodeSyncFolderInfo(std::string_view bytes, SyncFolderInfo& info);

// Lengths of the prefixes of the path that FindSyncFolderRoot tests, nearest
// first: each ends just before one of the path's backslashes. A path of the
// \\server\share or \\?\ forms yields nothing above its share or volume.
std::vector<size_t> SyncRootCandidates(std::wstring_view path);
