#include "syncstate/placeholderstate.h"

#include "syncstate/recordstream.h"

void ReadPlaceholderState(const std::wstring& path, PlaceholderState& state) {
  state = PlaceholderState{};
  std::string bytes;
  // The first stream that opens decides, even when it holds nothing usable.
  if (ReadRecordStream(path + L"\\com.tamvera.Sync", bytes) ||
      ReadRecordStream(path + L"\\com.quillmarch.sync", bytes)) {
    DecodePlaceholderState(bytes, state);
    return;
  }
  if (ReadRecordStreamPrefix(path + L"\\KVXDOWN", 8, bytes)) state.progress = DecodeDownloadCounter(bytes);
}
