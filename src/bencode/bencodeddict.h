#pragma once
// A bencode dictionary with the keyed operations of the records and the
// command messages. Keys are byte strings; text values are UTF-8 inside and
// UTF-16 outside.
#include "bencode/bencentity.h"

class BencodedDict : public BencEntity {
 public:
  // An empty dictionary (kind none only when memory ran out).
  BencodedDict() noexcept { SetDict(); }

  using BencEntity::GetInt;
  using BencEntity::GetInt64;
  using BencEntity::GetWideString;
  using BencEntity::SetInt;
  using BencEntity::SetWideString;

  // The value under the key; null when absent or this is no dictionary.
  const BencEntity* Find(std::string_view key) const noexcept { return FindKey(key); }
  BencEntity* Find(std::string_view key) noexcept { return FindKey(key); }
  // Moves the entity in under a copy of the key and returns the stored
  // value. A present key keeps its value and the offered entity is dropped.
  BencEntity* Insert(std::string_view key, BencEntity&& entity) noexcept;
  BencEntity* AddList(std::string_view key) noexcept;
  // Insert semantics: a key already present keeps its value.
  BencEntity* SetInt(std::string_view key, int32_t number) noexcept;
  BencEntity* SetWideString(std::string_view key, const wchar_t* text) noexcept;

  // 0 when the key is absent or holds no integer.
  int64_t GetInt64(std::string_view key) const noexcept;
  int32_t GetInt(std::string_view key) const noexcept;
  // Empty when the key is absent or holds no string.
  std::wstring GetWideString(std::string_view key) const noexcept;
};
