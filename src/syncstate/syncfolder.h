#pragma once
// The identity record at the root of every synchronised folder.
#include <cstdint>
#include <string>
#include <string_view>

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
