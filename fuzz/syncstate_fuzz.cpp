// The application's records as the readers decode them, and the walk that
// looks for a folder's root: any bytes give values in range, never a crash,
// a leak or an allocation the bytes ask for.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "shim/fuzzcheck.h"
#include "syncstate/placeholderstate.h"
#include "syncstate/syncfolder.h"

namespace {
bool IsProgress(int32_t progress) { return progress == -1 || (progress >= 0 && progress <= 100 && progress % 5 == 0); }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);

  SyncFolderInfo folder;
  folder.type = 7;
  folder.owner = L"stale";
  DecodeSyncFolderInfo(bytes, folder);
  if (bytes.empty() || bytes[0] != 'd') {
    Require(folder.type == 0 && !folder.mode && !folder.disable_remove_from_all_devices && folder.owner.empty());
  }

  PlaceholderState state;
  state.progress = 12;
  state.is_folder = true;
  DecodePlaceholderState(bytes, state);
  Require(IsProgress(state.progress));
  if (bytes.empty() || bytes[0] != 'd') Require(state.progress == -1 && !state.is_folder);
  Require(IsProgress(DecodeDownloadCounter(bytes)));
  if (size < 8) Require(DecodeDownloadCounter(bytes) == -1);

  // The same bytes as a path of UTF-16 units.
  const std::wstring path = Utf16Units(data, size);
  size_t previous = path.size();
  for (const size_t length : SyncRootCandidates(path)) {
    Require(length < previous);
    Require(path[length] == L'\\');
    previous = length;
  }
  return 0;
}
