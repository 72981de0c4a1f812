#include "syncstate/placeholderstate.h"

#include "bencode/bencodeddict.h"
#include "bencode/bencparser.h"
#include "syncstate/recordlimits.h"

int32_t RoundProgress(uint32_t stored) {
  if (stored == UINT32_MAX) return -1;
  if (stored >= 100) return 100;
  return static_cast<int32_t>(stored - stored % 5);
}

void DecodePlaceholderState(std::string_view bytes, PlaceholderState& state) {
  state = PlaceholderState{};
  if (bytes.empty() || bytes.size() > maxRecordBytes) return;
  BencodedDict record;
  if (!BencParse(bytes.data(), bytes.data() + bytes.size(), record) || !record.IsDict()) return;
  // A status of another kind reads as 0, so it shows as progress 0.
  if (const BencEntity* status = record.Find("kvx_status"))
    state.progress = RoundProgress(static_cast<uint32_t>(status->GetInt()));
  if (const BencEntity* type = record.Find("kvx_type"))
    state.is_folder = type->IsInt() && static_cast<uint32_t>(type->GetInt()) == 2;
}

int32_t DecodeDownloadCounter(std::string_view bytes) {
  if (bytes.size() < 8) return -1;
  // Only the low 32 bits of the little-endian counter count.
  uint32_t low = 0;
  for (int i = 3; i >= 0; --i) low = (low << 8) | static_cast<uint8_t>(bytes[i]);
  return RoundProgress(low);
}
