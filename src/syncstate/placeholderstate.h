#pragma once
// The download state the application keeps on each placeholder file.
#include <cstdint>
#include <string>
#include <string_view>

struct PlaceholderState {
  int32_t progress = -1;  // 0 to 100 in steps of 5, or -1 for none
  bool is_folder = false;
};

void ReadPlaceholderState(const std::wstring& path, PlaceholderState& state);
// The bencoded state record from its bytes (defaults when it is no dictionary).
void DecodePlaceholderState(std::string_view bytes, PlaceholderState& state);
// Progress of the older 8-byte little-endian counter; -1 when it is shorter.
int32_t DecodeDownloadCounter(std::string_view bytes);
// Progress of a stored value: -1 for all bits set, else rounded down to a
// multiple of 5 and capped at 100.
int32_t RoundProgress(uint32_t stored);
