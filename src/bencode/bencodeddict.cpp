#include "bencode/bencodeddict.h"

#include <utility>

BencEntity* BencodedDict::Insert(std::string_view key, BencEntity&& entity) noexcept {
  return InsertKey(key, std::move(entity));
}

BencEntity* BencodedDict::AddList(std::string_view key) noexcept {
  BencEntity list;
  if (!list.SetList()) return nullptr;
  return InsertKey(key, std::move(list));
}

BencEntity* BencodedDict::SetInt(std::string_view key, int32_t number) noexcept {
  BencEntity entity;
  entity.SetInt(number);
  return InsertKey(key, std::move(entity));
}

BencEntity* BencodedDict::SetWideString(std::string_view key, const wchar_t* text) noexcept {
  BencEntity entity;
  if (!entity.SetWideString(text)) return nullptr;
  return InsertKey(key, std::move(entity));
}

int64_t BencodedDict::GetInt64(std::string_view key) const noexcept {
  const BencEntity* found = Find(key);
  return found ? found->GetInt64() : 0;
}

int32_t BencodedDict::GetInt(std::string_view key) const noexcept {
  const BencEntity* found = Find(key);
  return found ? found->GetInt() : 0;
}

std::wstring BencodedDict::GetWideString(std::string_view key) const noexcept {
  const BencEntity* found = Find(key);
  return found ? found->GetWideString() : std::wstring();
}
