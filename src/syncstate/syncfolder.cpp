#include "syncstate/syncfolder.h"

#include <windows.h>

#include "syncstate/recordstream.h"

bool IsSyncFolderRoot(const std::wstring& folder) {
  const DWORD attributes = GetFileAttributesW((folder + L"\\.sync\\ID").c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring FindSyncFolderRoot(const std::wstring& path) {
  for (const size_t length : SyncRootCandidates(path)) {
    std::wstring candidate = path.substr(0, length);
    if (IsSyncFolderRoot(candidate)) return candidate;
  }
  return {};
}

bool ReadSyncFolderInfo(const std::wstring& root, SyncFolderInfo& info) {
  const std::wstring marker = root + L"\\.sync\\ID\\";
  std::string bytes;
  // The older stream name is read only where the current one is missing.
  if (!ReadRecordStream(marker + L"com.tamvera.Sync", bytes) && !ReadRecordStream(marker + L"_TYPE", bytes))
    return false;
  DecodeSyncFolderInfo(bytes, info);
  return true;
}
