// Parse, canonical re-encode, parse again, render: every parsed value must
// survive the round trip, and nothing may crash, leak or recurse.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "bencode/bencencode.h"
#include "bencode/bencodeddict.h"
#include "bencode/bencparser.h"
#include "bencode/bencrender.h"
#include "bencode/bencwalk.h"
#include "shim/fuzzcheck.h"

namespace {
// Keys with a NUL byte are written only up to it, so such values need not
// come back unchanged.
bool HasKeyWithNul(const BencEntity& entity) {
  BencWalk walk(entity);
  for (BencWalk::Step step = walk.Advance(); step != BencWalk::Step::Done; step = walk.Advance()) {
    if (walk.InDict() && walk.Key().find('\0') != std::string_view::npos) return true;
  }
  return false;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  BencodedDict first;
  const uint8_t* after = BencParse(data, data + size, first);
  if (!after) {
    Require(first.Kind() == BencKind::None);
    return 0;
  }
  Require(after > data && after <= data + size);
  Require(first.IsList() || first.IsDict());

  const ByteBuffer encoded = BencEncode(first);
  Require(encoded.Size() >= 2);
  BencEntity second;
  const uint8_t* secondEnd = BencParse(encoded.Data(), encoded.Data() + encoded.Size(), second);
  if (!HasKeyWithNul(first)) {
    // Canonical: the encoding parses whole and encodes to itself.
    Require(secondEnd == encoded.Data() + encoded.Size());
    Require(BencEncode(second).View() == encoded.View());
  } else if (secondEnd) {
    const ByteBuffer again = BencEncode(second);
    BencEntity third;
    Require(BencParse(again.Data(), again.Data() + again.Size(), third) != nullptr);
  }

  ByteBuffer rendering;
  RenderJson(rendering, first, JsonStringMode::Escaped);
  Require(rendering.Size() >= 4);

  // The keyed reads of the record readers.
  first.GetInt64("type");
  first.GetWideString("owner");
  if (const BencEntity* item = first.Item(0)) item->GetWideString();

  BencEntity moved(std::move(first));
  moved = std::move(second);
  return 0;
}
