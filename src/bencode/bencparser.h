#pragma once
// The bencode tokenizer and the iterative parser built on it.
#include <cstddef>
#include <cstdint>

#include "bencode/bencentity.h"

enum class BencToken : int {
  Error = 0,
  Integer = 1,  // bytes: first byte after 'i'; length: sign and digit bytes
  String = 2,   // bytes: first data byte; length: data length
  ListStart = 3,
  DictStart = 4,
  End = 5,
  EndOfInput = 6,
};

class IBencParser {
 public:
  virtual ~IBencParser() = default;
  virtual BencToken NextToken(const uint8_t** bytes, size_t* length) = 0;
};

// Tokens of the byte range [begin, end). Never writes into the input.
class BencParser : public IBencParser {
 public:
  BencParser(const uint8_t* begin, const uint8_t* end) noexcept : current(begin), end(end) {}
  BencToken NextToken(const uint8_t** bytes, size_t* length) override;
  const uint8_t* Position() const noexcept { return current; }

 private:
  const uint8_t* current;
  const uint8_t* end;
};

// The signed decimal value of an integer token: optional sign, digits up to
// the first non-digit, saturated at the 64-bit limits; 0 without digits.
int64_t BencTokenToInt64(const uint8_t* text, size_t length) noexcept;

// Parses one top-level list or dictionary from the tokens into the entity,
// taking string storage from the regime. False, with the entity cleared,
// when the input is malformed or memory runs out.
bool BencParseTokens(IBencParser& tokens, BencEntity::AllocRegime& regime, BencEntity& entity) noexcept;

// Parses one top-level list or dictionary from [begin, end) into the entity.
// Returns the position after it (later bytes are not examined), or null with
// the entity of kind none.
const uint8_t* BencParse(const uint8_t* begin, const uint8_t* end, BencEntity& entity) noexcept;
const char* BencParse(const char* begin, const char* end, BencEntity& entity) noexcept;
