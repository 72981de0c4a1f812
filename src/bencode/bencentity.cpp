#include "bencode/bencentity.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "util/textconv.h"

namespace {
constexpr uint64_t minimumListCapacity = 16;
constexpr uint64_t maximumListCapacity =
    (sizeof(void*) == 4 ? 0x7FFFFFFFull : 0xFFFFFFFFull) / sizeof(BencEntity);
}  // namespace

StringStorage* MakeStringStorage(const void* bytes, size_t length) noexcept {
  if (length >= 0xFFFFFFFFu) return nullptr;
  auto* storage = new (std::nothrow) StringStorage{nullptr, 0, 0, 0};
  if (!storage) return nullptr;
  storage->data = static_cast<uint8_t*>(malloc(length + 1));
  if (!storage->data) {
    delete storage;
    return nullptr;
  }
  if (length) memcpy(storage->data, bytes, length);
  storage->data[length] = 0;
  storage->capacity = static_cast<uint32_t>(length + 1);
  storage->length = static_cast<uint32_t>(length);
  return storage;
}

void FreeStringStorage(StringStorage* storage) noexcept {
  if (!storage) return;
  if (!storage->borrowed) free(storage->data);
  delete storage;
}

BencKey& BencKey::operator=(BencKey&& other) noexcept {
  if (this != &other) {
    FreeStringStorage(storage);
    storage = other.storage;
    other.storage = nullptr;
  }
  return *this;
}

bool BencKeyLess::Less(std::string_view a, std::string_view b) noexcept {
  const size_t common = a.size() < b.size() ? a.size() : b.size();
  if (common) {
    // memcmp compares as unsigned bytes.
    const int order = memcmp(a.data(), b.data(), common);
    if (order != 0) return order < 0;
  }
  return a.size() < b.size();
}

StringStorage* BencEntity::AllocateMemRegime::MakeKeyStorage(const uint8_t* bytes, size_t length) {
  return MakeStringStorage(bytes, length);
}

StringStorage* BencEntity::AllocateMemRegime::MakeValueStorage(const uint8_t* bytes, size_t length) {
  return MakeStringStorage(bytes, length);
}

BencEntity::BencEntity(BencEntity&& other) noexcept : value(other.value), kind(other.kind) {
  other.kind = BencKind::None;
  other.value.integer = 0;
}

BencEntity& BencEntity::operator=(BencEntity&& other) noexcept {
  if (this != &other) {
    const Value taken = other.value;
    const BencKind takenKind = other.kind;
    other.kind = BencKind::None;
    other.value.integer = 0;
    Adopt(takenKind, taken);
  }
  return *this;
}

// Takes the new value first and frees the old one after, so that a value
// moved out of this entity's own tree survives.
void BencEntity::Adopt(BencKind newKind, Value newValue) noexcept {
  const Value old = value;
  const BencKind oldKind = kind;
  value = newValue;
  kind = newKind;
  Release(oldKind, old);
}

void BencEntity::Clear() noexcept {
  Value none;
  none.integer = 0;
  Adopt(BencKind::None, none);
}

void BencEntity::Release(BencKind kind, Value value) noexcept {
  switch (kind) {
    case BencKind::String:
      FreeStringStorage(value.string);
      break;
    case BencKind::List:
    case BencKind::Dict:
      FreeTree(kind, value);
      break;
    default:
      break;
  }
}

// Frees a tree without recursion: containers waiting to be freed are chained
// through their own nextToFree slot, so the walk needs no memory of its own
// and each storage is freed only once it holds no containers.
void BencEntity::FreeTree(BencKind kind, Value value) noexcept {
  BencKind headKind = kind;
  Value head = value;
  auto push = [&](BencEntity& item) {
    BencEntity& link = item.kind == BencKind::List ? item.value.list->nextToFree : item.value.dict->nextToFree;
    link.kind = headKind;
    link.value = head;
    headKind = item.kind;
    head = item.value;
    item.kind = BencKind::None;
    item.value.integer = 0;
  };
  while (headKind == BencKind::List || headKind == BencKind::Dict) {
    const BencKind currentKind = headKind;
    const Value current = head;
    BencEntity& link = currentKind == BencKind::List ? current.list->nextToFree : current.dict->nextToFree;
    headKind = link.kind;
    head = link.value;
    link.kind = BencKind::None;
    link.value.integer = 0;
    if (currentKind == BencKind::List) {
      ListStorage* list = current.list;
      for (uint32_t i = 0; i < list->count; ++i) {
        BencEntity& item = list->items[i];
        if (item.kind == BencKind::List || item.kind == BencKind::Dict) push(item);
      }
      delete[] list->items;
      delete list;
    } else {
      DictStorage* dict = current.dict;
      for (auto& entry : dict->entries) {
        BencEntity& item = entry.second;
        if (item.kind == BencKind::List || item.kind == BencKind::Dict) push(item);
      }
      delete dict;
    }
  }
}

void BencEntity::SetInt(int32_t number) noexcept {
  Value v;
  v.integer = number;
  Adopt(BencKind::Int32, v);
}

int64_t BencEntity::GetInt64() const noexcept { return IsInt() ? value.integer : 0; }

int32_t BencEntity::GetInt() const noexcept {
  return IsInt() ? static_cast<int32_t>(static_cast<uint32_t>(static_cast<uint64_t>(value.integer))) : 0;
}

bool BencEntity::SetString(std::string_view bytes) noexcept {
  Value v;
  v.string = MakeStringStorage(bytes.data(), bytes.size());
  if (!v.string) {
    Clear();
    return false;
  }
  Adopt(BencKind::String, v);
  return true;
}

bool BencEntity::SetWideString(const wchar_t* text) noexcept {
  if (!text) return SetString({});
  const Utf8Text utf8 = Utf16ToUtf8Alloc(text);
  if (!utf8.data) {
    Clear();
    return false;
  }
  return SetString(std::string_view(utf8.data.get(), utf8.length));
}

std::string_view BencEntity::GetString() const noexcept {
  return IsString() ? value.string->View() : std::string_view();
}

std::wstring BencEntity::GetWideString() const noexcept {
  if (!IsString() || value.string->length == 0) return {};
  try {
    const WideText wide = MultiByteToUtf16(0, reinterpret_cast<const char*>(value.string->data),
                                           static_cast<ptrdiff_t>(value.string->length));
    if (!wide.data) return {};
    return std::wstring(wide.data.get(), wide.length);
  } catch (const std::bad_alloc&) {
    return {};
  }
}

bool BencEntity::SetList() noexcept {
  Value v;
  v.list = new (std::nothrow) ListStorage;
  if (!v.list) {
    Clear();
    return false;
  }
  Adopt(BencKind::List, v);
  return true;
}

bool BencEntity::SetDict() noexcept {
  Value v;
  v.dict = new (std::nothrow) DictStorage;
  if (!v.dict) {
    Clear();
    return false;
  }
  Adopt(BencKind::Dict, v);
  return true;
}

uint32_t BencEntity::Count() const noexcept {
  if (kind == BencKind::List) return value.list->count;
  if (kind == BencKind::Dict) {
    const size_t size = value.dict->entries.size();
    return size > 0xFFFFFFFFu ? 0xFFFFFFFFu : static_cast<uint32_t>(size);
  }
  return 0;
}

const BencEntity* BencEntity::Item(uint32_t index) const noexcept {
  if (kind != BencKind::List || index >= value.list->count) return nullptr;
  return &value.list->items[index];
}

BencEntity* BencEntity::Item(uint32_t index) noexcept {
  return const_cast<BencEntity*>(static_cast<const BencEntity*>(this)->Item(index));
}

bool GrowList(ListStorage& list) noexcept {
  const uint64_t needed = static_cast<uint64_t>(list.count) + 1;
  if (needed > maximumListCapacity) return false;
  uint64_t grown = 2 * static_cast<uint64_t>(list.capacity);
  if (grown < needed) grown = needed;
  if (grown < minimumListCapacity) grown = minimumListCapacity;
  if (grown > maximumListCapacity) grown = maximumListCapacity;
  BencEntity* items = new (std::nothrow) BencEntity[static_cast<size_t>(grown)];
  if (!items) return false;
  for (uint32_t i = 0; i < list.count; ++i) items[i] = std::move(list.items[i]);
  delete[] list.items;
  list.items = items;
  list.capacity = static_cast<uint32_t>(grown);
  return true;
}

void TrimList(ListStorage& list) noexcept {
  if (list.count == 0) {
    delete[] list.items;
    list.items = nullptr;
    list.capacity = 0;
    return;
  }
  const uint32_t wanted = list.count > minimumListCapacity ? list.count : static_cast<uint32_t>(minimumListCapacity);
  if (list.capacity <= wanted) return;
  // A failed shrink keeps the larger array, which is still valid.
  BencEntity* items = new (std::nothrow) BencEntity[wanted];
  if (!items) return;
  for (uint32_t i = 0; i < list.count; ++i) items[i] = std::move(list.items[i]);
  delete[] list.items;
  list.items = items;
  list.capacity = wanted;
}

BencEntity* BencEntity::Append(BencEntity&& item) noexcept {
  if (kind != BencKind::List || &item == this) return nullptr;
  ListStorage& list = *value.list;
  if (list.count == list.capacity && !GrowList(list)) return nullptr;
  BencEntity& slot = list.items[list.count];
  slot = std::move(item);
  ++list.count;
  return &slot;
}

bool BencEntity::AppendWideString(const wchar_t* text) noexcept {
  if (kind != BencKind::List) return false;
  BencEntity item;
  return item.SetWideString(text) && Append(std::move(item)) != nullptr;
}

const BencDict* BencEntity::Entries() const noexcept {
  return kind == BencKind::Dict ? &value.dict->entries : nullptr;
}

BencEntity* BencEntity::FindKey(std::string_view key) const noexcept {
  if (kind != BencKind::Dict) return nullptr;
  auto found = value.dict->entries.find(key);
  return found == value.dict->entries.end() ? nullptr : &found->second;
}

BencEntity* BencEntity::InsertKey(std::string_view key, BencEntity&& entity) noexcept {
  if (kind != BencKind::Dict || &entity == this) return nullptr;
  BencDict& entries = value.dict->entries;
  auto place = entries.lower_bound(key);
  if (place != entries.end() && place->first.View() == key) return &place->second;
  StringStorage* keyStorage = MakeStringStorage(key.data(), key.size());
  if (!keyStorage) return nullptr;
  BencKey ownedKey(keyStorage);
  try {
    auto stored = entries.emplace_hint(place, std::move(ownedKey), std::move(entity));
    return &stored->second;
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}
