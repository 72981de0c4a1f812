// The menu's inputs from Explorer: any bytes as a drop list are walked
// inside their memory and end; any selection summary gives entries in menu
// order that only the selective-sync gate opens.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "contextmenu/droplist.h"
#include "contextmenu/menudecision.h"

namespace {

void CheckDropList(const uint8_t* data, size_t size) {
  const bool wellFormed = IsWellFormedDropList(data, size);
  DropListNames names(data, size);
  std::string_view name;
  size_t count = 0;
  while (names.Next(name)) {
    const auto* begin = reinterpret_cast<const uint8_t*>(name.data());
    if (name.empty() || begin < data || begin + name.size() > data + size) abort();
    if (++count > size) abort();
  }
  // A list that passed the check can be walked again with the same result.
  if (wellFormed) {
    DropListNames again(data, size);
    size_t recount = 0;
    while (again.Next(name)) ++recount;
    if (recount != count) abort();
  }
}

void CheckDecision(uint16_t bits) {
  SelectionSummary summary;
  bool* const flags[] = {&summary.anyFolder,       &summary.inSyncFolder,         &summary.isSelectiveFolder,
                         &summary.isOwner,         &summary.disableRemoveFromAll, &summary.typeIsTwo,
                         &summary.anyRegular,      &summary.anyWaitingPlaceholder, &summary.anyReceiving,
                         &summary.sharingEnabled};
  for (size_t i = 0; i < sizeof flags / sizeof flags[0]; ++i) *flags[i] = (bits >> i) & 1;
  const std::vector<PlannedEntry> entries = DecideMenuEntries(summary);
  const bool hasShare = !entries.empty() && entries.front().entry == MenuEntry::Share;
  if (hasShare != summary.sharingEnabled) abort();
  for (size_t i = 0; i < entries.size(); ++i) {
    if (i > 0 && entries[i - 1].entry >= entries[i].entry) abort();
    if (entries[i].entry != MenuEntry::Share && !summary.SelectiveGate()) abort();
    const bool greyable = entries[i].entry == MenuEntry::RemoveFromAllDevices;
    if (entries[i].greyed && !greyable) abort();
    if (greyable && entries[i].greyed != !(summary.typeIsTwo && !summary.anyReceiving)) abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CheckDropList(data, size);
  if (size >= 2) CheckDecision(static_cast<uint16_t>(data[0] | data[1] << 8));
  return 0;
}
