#include "syncstate/syncfolder.h"

#include "bencode/bencodeddict.h"
#include "bencode/bencparser.h"
#include "syncstate/recordlimits.h"

void DecodeSyncFolderInfo(std::string_view bytes, SyncFolderInfo& info) {
  info = SyncFolderInfo{};
  if (bytes.size() > maxRecordBytes) return;
  BencodedDict record;
  if (!BencParse(bytes.data(), bytes.data() + bytes.size(), record) || !record.IsDict()) return;
  info.type = static_cast<uint32_t>(record.GetInt("type"));
  info.mode = record.GetInt("mode") != 0;
  info.disable_remove_from_all_devices = record.GetInt("disable_remove_from_all_devices") != 0;
  info.owner = record.GetWideString("owner");
}

namespace {
bool StartsWith(std::wstring_view text, std::wstring_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    wchar_t c = text[i];
    if (c >= L'a' && c <= L'z') c = static_cast<wchar_t>(c - L'a' + L'A');
    if (c != prefix[i]) return false;
  }
  return true;
}

// Backslashes a candidate needs to lie on a volume or share at all. Above
// that, the marker would name a server (\\.sync\ID, a network lookup on the
// shell's thread) or the current drive, which has nothing to do with the
// path.
size_t RootBackslashes(std::wstring_view path) {
  if (!StartsWith(path, L"\\\\")) return 0;
  if (StartsWith(path, L"\\\\?\\UNC\\") || StartsWith(path, L"\\\\.\\UNC\\")) return 5;
  return 3;
}
}  // namespace

std::vector<size_t> SyncRootCandidates(std::wstring_view path) {
  std::vector<size_t> candidates;
  const size_t floor = RootBackslashes(path);
  size_t backslashes = 0;
  for (wchar_t c : path)
    if (c == L'\\') ++backslashes;
  for (size_t end = path.size(); end-- > 0;) {
    if (path[end] != L'\\') continue;
    // The candidate path[0, end) keeps every backslash before this one.
    if (--backslashes < floor) break;
    candidates.push_back(end);
  }
  return candidates;
}
