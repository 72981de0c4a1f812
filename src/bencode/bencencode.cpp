#include "bencode/bencencode.h"

#include <cstring>
#include <new>

#include "bencode/bencwalk.h"

namespace {
constexpr uint32_t initialCapacity = 4096;
constexpr uint32_t minimumResult = 16;

// Signed decimal without leading zeros; returns the number of characters.
size_t DecimalText(int64_t number, char (&out)[24]) {
  char digits[24];
  size_t count = 0;
  uint64_t magnitude = number < 0 ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
  do {
    digits[count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  size_t length = 0;
  if (number < 0) out[length++] = '-';
  while (count) out[length++] = digits[--count];
  return length;
}

bool AppendString(ByteBuffer& out, std::string_view bytes) {
  char length[24];
  const size_t digits = DecimalText(static_cast<int64_t>(bytes.size()), length);
  return out.Append(length, digits) && out.AppendByte(':') && out.Append(bytes);
}

bool Encode(const BencEntity& entity, ByteBuffer& out) {
  BencWalk walk(entity);
  for (;;) {
    const BencWalk::Step step = walk.Advance();
    if (step == BencWalk::Step::Done) return true;
    if (step == BencWalk::Step::Close) {
      if (!out.AppendByte('e')) return false;
      continue;
    }
    const BencEntity& current = walk.Entity();
    if (walk.InDict()) {
      // A key without a value would make the whole message unreadable.
      if (current.Kind() == BencKind::None) continue;
      std::string_view key = walk.Key();
      if (const void* nul = memchr(key.data(), 0, key.size())) {
        key = key.substr(0, static_cast<size_t>(static_cast<const char*>(nul) - key.data()));
      }
      if (!AppendString(out, key)) return false;
    }
    bool written = true;
    switch (step) {
      case BencWalk::Step::OpenList:
        written = out.AppendByte('l');
        break;
      case BencWalk::Step::OpenDict:
        written = out.AppendByte('d');
        break;
      default:
        if (current.IsInt()) {
          char text[24];
          const size_t length = DecimalText(current.GetInt64(), text);
          written = out.AppendByte('i') && out.Append(text, length) && out.AppendByte('e');
        } else if (current.IsString()) {
          written = AppendString(out, current.GetString());
        }
        break;
    }
    if (!written) return false;
  }
}
}  // namespace

ByteBuffer BencEncode(const BencEntity& entity) noexcept {
  ByteBuffer out;
  bool encoded = false;
  try {
    encoded = out.Reserve(initialCapacity) && Encode(entity, out);
  } catch (const std::bad_alloc&) {
    encoded = false;
  }
  if (!encoded) return ByteBuffer();
  out.Trim(minimumResult);
  return out;
}
