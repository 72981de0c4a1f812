#pragma once
// Bencode values: a 64-bit value word and a kind tag. An entity owns its
// storage exclusively; it moves but never copies. No operation recurses over
// the nesting, so values of any depth are destroyed and moved safely.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>

enum class BencKind : uint8_t {
  None = 0,
  Int32 = 1,    // integer set from a 32-bit value
  Integer = 2,  // integer made by the parser
  String = 3,
  List = 4,
  Dict = 5,
};

struct StringStorage {
  uint8_t* data;
  uint32_t capacity;  // bytes allocated
  uint32_t length;    // bytes in use, NUL bytes allowed
  uint8_t borrowed;   // 1: data is not freed with the storage

  std::string_view View() const noexcept {
    return std::string_view(reinterpret_cast<const char*>(data), length);
  }
};

// A copy of the bytes followed by one NUL byte that length does not count;
// null when the length does not fit in 32 bits or memory runs out.
StringStorage* MakeStringStorage(const void* bytes, size_t length) noexcept;
void FreeStringStorage(StringStorage* storage) noexcept;

// A dictionary key owning its StringStorage.
class BencKey {
 public:
  explicit BencKey(StringStorage* storage) noexcept : storage(storage) {}
  ~BencKey() { FreeStringStorage(storage); }
  BencKey(BencKey&& other) noexcept : storage(other.storage) { other.storage = nullptr; }
  BencKey& operator=(BencKey&& other) noexcept;
  BencKey(const BencKey&) = delete;
  BencKey& operator=(const BencKey&) = delete;

  std::string_view View() const noexcept { return storage ? storage->View() : std::string_view(); }

 private:
  StringStorage* storage;
};

// Keys compare by their unsigned bytes; on a tie the shorter one is smaller.
struct BencKeyLess {
  using is_transparent = void;
  static bool Less(std::string_view a, std::string_view b) noexcept;
  bool operator()(const BencKey& a, const BencKey& b) const noexcept { return Less(a.View(), b.View()); }
  bool operator()(const BencKey& a, std::string_view b) const noexcept { return Less(a.View(), b); }
  bool operator()(std::string_view a, const BencKey& b) const noexcept { return Less(a, b.View()); }
};

class BencEntity;
struct ListStorage;
struct DictStorage;
using BencDict = std::map<BencKey, BencEntity, BencKeyLess>;

class BencEntity {
 public:
  // Where the parser gets the storage of every string it reads.
  class AllocRegime {
   public:
    virtual ~AllocRegime() = default;
    virtual StringStorage* MakeKeyStorage(const uint8_t* bytes, size_t length) = 0;
    virtual StringStorage* MakeValueStorage(const uint8_t* bytes, size_t length) = 0;
    // True would keep integer tokens as their text (a string value).
    virtual bool KeepIntegersAsText() { return false; }
  };

  // Copies every string, so parsed values never point into the input.
  class AllocateMemRegime : public AllocRegime {
   public:
    StringStorage* MakeKeyStorage(const uint8_t* bytes, size_t length) override;
    StringStorage* MakeValueStorage(const uint8_t* bytes, size_t length) override;
  };

  BencEntity() noexcept { value.integer = 0; }
  ~BencEntity() { Clear(); }
  BencEntity(BencEntity&& other) noexcept;
  // Safe also when other lies inside this value's own tree.
  BencEntity& operator=(BencEntity&& other) noexcept;
  BencEntity(const BencEntity&) = delete;
  BencEntity& operator=(const BencEntity&) = delete;

  BencKind Kind() const noexcept { return kind; }
  bool IsInt() const noexcept { return kind == BencKind::Int32 || kind == BencKind::Integer; }
  bool IsString() const noexcept { return kind == BencKind::String; }
  bool IsList() const noexcept { return kind == BencKind::List; }
  bool IsDict() const noexcept { return kind == BencKind::Dict; }

  // Releases everything the entity owns; kind none.
  void Clear() noexcept;

  void SetInt(int32_t number) noexcept;
  // The integer, else 0.
  int64_t GetInt64() const noexcept;
  // The low 32 bits of the integer, else 0.
  int32_t GetInt() const noexcept;

  // A string of the bytes; false (kind none) when memory runs out.
  bool SetString(std::string_view bytes) noexcept;
  // A string of the UTF-8 form of the text (up to its NUL); null gives "".
  bool SetWideString(const wchar_t* text) noexcept;
  // The bytes of a string, else empty.
  std::string_view GetString() const noexcept;
  // A string's bytes as UTF-16 (the ANSI code page when they are no UTF-8),
  // else empty.
  std::wstring GetWideString() const noexcept;

  // An empty list or dictionary; false (kind none) when memory runs out.
  bool SetList() noexcept;
  bool SetDict() noexcept;

  // Items of a list or entries of a dictionary, else 0.
  uint32_t Count() const noexcept;
  // The list's item, or null.
  const BencEntity* Item(uint32_t index) const noexcept;
  BencEntity* Item(uint32_t index) noexcept;
  // Moves the item to the end of the list and returns where it now is; null,
  // with the item untouched, when this is no list or memory runs out.
  BencEntity* Append(BencEntity&& item) noexcept;
  bool AppendWideString(const wchar_t* text) noexcept;
  // The dictionary's entries in key order, or null.
  const BencDict* Entries() const noexcept;

 protected:
  BencEntity* FindKey(std::string_view key) const noexcept;
  // Moves the value in under a copy of the key unless the key is present;
  // returns the value stored under the key, null when this is no dictionary
  // or memory runs out.
  BencEntity* InsertKey(std::string_view key, BencEntity&& entity) noexcept;

 private:
  friend class BencBuilder;

  union Value {
    int64_t integer;
    StringStorage* string;
    ListStorage* list;
    DictStorage* dict;
  };

  static void Release(BencKind kind, Value value) noexcept;
  static void FreeTree(BencKind kind, Value value) noexcept;
  void Adopt(BencKind newKind, Value newValue) noexcept;

  Value value;
  BencKind kind = BencKind::None;
};

struct ListStorage {
  BencEntity* items = nullptr;
  uint32_t capacity = 0;  // in items
  uint32_t count = 0;
  BencEntity nextToFree;  // links containers waiting to be freed
};

struct DictStorage {
  BencDict entries;
  BencEntity nextToFree;
};

// Grows to max(count + 1, 2 * capacity) items, never below 16; false when
// the list cannot grow.
bool GrowList(ListStorage& list) noexcept;
// Shrinks to max(count, 16) items; an empty list keeps no array.
void TrimList(ListStorage& list) noexcept;
