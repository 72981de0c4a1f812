#include "bencode/bencparser.h"

#include <iterator>
#include <new>
#include <utility>
#include <vector>

namespace {
bool IsDigit(uint8_t c) { return c >= '0' && c <= '9'; }
}  // namespace

BencToken BencParser::NextToken(const uint8_t** bytes, size_t* length) {
  *bytes = nullptr;
  *length = 0;
  if (current == end) return BencToken::EndOfInput;
  if (current > end) return BencToken::Error;
  const uint8_t c = *current++;
  if (IsDigit(c)) {
    // The length can never exceed the bytes left, so a longer one is
    // rejected before it can wrap.
    const uint64_t left = static_cast<uint64_t>(end - current);
    uint64_t count = c - '0';
    if (count > left) return BencToken::Error;
    for (;;) {
      if (current == end) return BencToken::Error;
      const uint8_t d = *current++;
      if (d == ':') break;
      if (!IsDigit(d)) return BencToken::Error;
      const unsigned digit = d - '0';
      if (digit > left || count > (left - digit) / 10) return BencToken::Error;
      count = count * 10 + digit;
    }
    if (count > static_cast<uint64_t>(end - current)) return BencToken::Error;
    *bytes = current;
    *length = static_cast<size_t>(count);
    current += count;
    return BencToken::String;
  }
  switch (c) {
    case 'i': {
      const uint8_t* text = current;
      if (current != end && *current == '-') ++current;
      while (current != end && IsDigit(*current)) ++current;
      *length = static_cast<size_t>(current - text);
      if (current != end) {
        // A ':' here is outside the format; taking it for a string's length
        // would only mislead, so the input is malformed.
        if (*current == ':') {
          *length = 0;
          return BencToken::Error;
        }
        if (*current == 'e') ++current;
      }
      *bytes = text;
      return BencToken::Integer;
    }
    case 'l':
      return BencToken::ListStart;
    case 'd':
      return BencToken::DictStart;
    case 'e':
      return BencToken::End;
    default:
      return BencToken::Error;
  }
}

int64_t BencTokenToInt64(const uint8_t* text, size_t length) noexcept {
  size_t i = 0;
  bool negative = false;
  if (i < length && text[i] == '-') {
    negative = true;
    ++i;
  }
  // Accumulate the magnitude; the negative limit is one larger than the
  // positive one.
  const uint64_t limit = negative ? 0x8000000000000000ull : 0x7FFFFFFFFFFFFFFFull;
  uint64_t magnitude = 0;
  for (; i < length && IsDigit(text[i]); ++i) {
    const unsigned digit = text[i] - '0';
    if (magnitude > (limit - digit) / 10) {
      magnitude = limit;
      break;
    }
    magnitude = magnitude * 10 + digit;
  }
  if (!negative) return static_cast<int64_t>(magnitude);
  return magnitude == 0x8000000000000000ull ? INT64_MIN : -static_cast<int64_t>(magnitude);
}

// Builds entities for the parser; a friend of BencEntity, so that parsed
// integers get their own kind and strings their regime's storage.
class BencBuilder {
 public:
  static bool MakeValue(BencToken token, const uint8_t* bytes, size_t length, BencEntity::AllocRegime& regime,
                        BencEntity& out) {
    switch (token) {
      case BencToken::Integer:
        if (regime.KeepIntegersAsText()) return AdoptString(regime.MakeValueStorage(bytes, length), out);
        {
          BencEntity::Value v;
          v.integer = BencTokenToInt64(bytes, length);
          out.Adopt(BencKind::Integer, v);
        }
        return true;
      case BencToken::String:
        return AdoptString(regime.MakeValueStorage(bytes, length), out);
      case BencToken::ListStart:
        return out.SetList();
      case BencToken::DictStart:
        return out.SetDict();
      default:
        return false;
    }
  }

  static ListStorage& List(BencEntity& entity) { return *entity.value.list; }
  static BencDict& Dict(BencEntity& entity) { return entity.value.dict->entries; }

 private:
  static bool AdoptString(StringStorage* storage, BencEntity& out) {
    if (!storage) return false;
    BencEntity::Value v;
    v.string = storage;
    out.Adopt(BencKind::String, v);
    return true;
  }
};

namespace {
bool IsContainer(BencToken token) { return token == BencToken::ListStart || token == BencToken::DictStart; }

// Adds a value under a new key; false for a repeated key or no memory.
BencEntity* InsertParsed(BencDict& dict, const uint8_t* keyBytes, size_t keyLength,
                         BencEntity::AllocRegime& regime, BencEntity&& value) {
  const std::string_view key(reinterpret_cast<const char*>(keyBytes), keyLength);
  // Canonical input comes sorted: appending at the end needs no search.
  auto place = dict.end();
  if (!dict.empty() && !BencKeyLess::Less(std::prev(dict.end())->first.View(), key)) {
    place = dict.lower_bound(key);
    if (place != dict.end() && place->first.View() == key) return nullptr;
  }
  StringStorage* storage = regime.MakeKeyStorage(keyBytes, keyLength);
  if (!storage) return nullptr;
  BencKey ownedKey(storage);
  return &dict.emplace_hint(place, std::move(ownedKey), std::move(value))->second;
}

bool ParseInto(IBencParser& tokens, BencEntity::AllocRegime& regime, BencEntity& entity) {
  const uint8_t* bytes = nullptr;
  size_t length = 0;
  BencToken token = tokens.NextToken(&bytes, &length);
  if (!IsContainer(token) || !BencBuilder::MakeValue(token, bytes, length, regime, entity)) return false;
  // Open containers; map nodes and the items of a list that is not being
  // appended to never move, so the pointers stay valid.
  std::vector<BencEntity*> open;
  open.push_back(&entity);
  while (!open.empty()) {
    BencEntity& top = *open.back();
    token = tokens.NextToken(&bytes, &length);
    if (token == BencToken::End) {
      if (top.IsList()) TrimList(BencBuilder::List(top));
      open.pop_back();
      continue;
    }
    BencEntity* added = nullptr;
    if (top.IsList()) {
      BencEntity item;
      if (!BencBuilder::MakeValue(token, bytes, length, regime, item)) return false;
      added = top.Append(std::move(item));
    } else {
      if (token != BencToken::String) return false;
      const uint8_t* keyBytes = bytes;
      const size_t keyLength = length;
      token = tokens.NextToken(&bytes, &length);
      BencEntity item;
      if (!BencBuilder::MakeValue(token, bytes, length, regime, item)) return false;
      added = InsertParsed(BencBuilder::Dict(top), keyBytes, keyLength, regime, std::move(item));
    }
    if (!added) return false;
    if (IsContainer(token)) open.push_back(added);
  }
  return true;
}
}  // namespace

bool BencParseTokens(IBencParser& tokens, BencEntity::AllocRegime& regime, BencEntity& entity) noexcept {
  entity.Clear();
  bool parsed = false;
  try {
    parsed = ParseInto(tokens, regime, entity);
  } catch (const std::bad_alloc&) {
    parsed = false;
  }
  if (!parsed) entity.Clear();
  return parsed;
}

const uint8_t* BencParse(const uint8_t* begin, const uint8_t* end, BencEntity& entity) noexcept {
  BencParser tokens(begin, end);
  BencEntity::AllocateMemRegime regime;
  return BencParseTokens(tokens, regime, entity) ? tokens.Position() : nullptr;
}

const char* BencParse(const char* begin, const char* end, BencEntity& entity) noexcept {
  const uint8_t* after = BencParse(reinterpret_cast<const uint8_t*>(begin), reinterpret_cast<const uint8_t*>(end), entity);
  return reinterpret_cast<const char*>(after);
}
