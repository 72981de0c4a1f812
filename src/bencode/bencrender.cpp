#include "bencode/bencrender.h"

#include <new>

#include "bencode/bencwalk.h"

namespace {
const char lowerHex[] = "0123456789abcdef";
const char upperHex[] = "0123456789ABCDEF";

bool WriteText(RenderOutput& output, std::string_view text) { return output.Write(text.data(), text.size()); }

bool WriteEscaped(RenderOutput& output, std::string_view bytes) {
  size_t plainStart = 0;
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    char escape[6] = {'\\', 0, 0, 0, 0, 0};
    size_t length = 2;
    switch (byte) {
      case '"': escape[1] = '"'; break;
      case '\\': escape[1] = '\\'; break;
      case 8: escape[1] = 'b'; break;
      case 9: escape[1] = 't'; break;
      case 10: escape[1] = 'n'; break;
      case 12: escape[1] = 'f'; break;
      case 13: escape[1] = 'r'; break;
      default:
        if (byte >= 32) continue;
        escape[1] = 'u';
        escape[2] = '0';
        escape[3] = '0';
        escape[4] = lowerHex[byte >> 4];
        escape[5] = lowerHex[byte & 15];
        length = 6;
        break;
    }
    if (!output.Write(bytes.data() + plainStart, i - plainStart) || !output.Write(escape, length)) return false;
    plainStart = i + 1;
  }
  return output.Write(bytes.data() + plainStart, bytes.size() - plainStart);
}

bool WriteHex(RenderOutput& output, std::string_view bytes) {
  char chunk[128];
  size_t used = 0;
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (used + 2 > sizeof chunk) {
      if (!output.Write(chunk, used)) return false;
      used = 0;
    }
    if (byte >= 16) chunk[used++] = upperHex[byte >> 4];
    chunk[used++] = upperHex[byte & 15];
  }
  return output.Write(chunk, used);
}

bool WriteString(RenderOutput& output, std::string_view bytes, JsonStringMode mode) {
  if (!WriteText(output, "\"")) return false;
  bool written = true;
  switch (mode) {
    case JsonStringMode::Hex: written = WriteHex(output, bytes); break;
    case JsonStringMode::Hidden: written = WriteText(output, "***"); break;
    default: written = WriteEscaped(output, bytes); break;
  }
  return written && WriteText(output, "\"");
}

bool WriteInteger(RenderOutput& output, int64_t number) {
  char digits[24];
  size_t count = 0;
  uint64_t magnitude = number < 0 ? 0 - static_cast<uint64_t>(number) : static_cast<uint64_t>(number);
  do {
    digits[sizeof digits - 1 - count++] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude);
  if (number < 0) digits[sizeof digits - 1 - count++] = '-';
  return output.Write(digits + sizeof digits - count, count);
}

bool Render(RenderOutput& output, const BencEntity& entity, JsonStringMode topMode) {
  BencWalk walk(entity);
  for (;;) {
    const BencWalk::Step step = walk.Advance();
    if (step == BencWalk::Step::Done) return true;
    if (step == BencWalk::Step::Close) {
      if (!WriteText(output, walk.Entity().IsList() ? " ]" : " }")) return false;
      continue;
    }
    if (!walk.AtTop() && !walk.First() && !WriteText(output, ", ")) return false;
    JsonStringMode mode = walk.AtTop() ? topMode : JsonStringMode::Escaped;
    if (walk.InDict()) {
      if (!WriteString(output, walk.Key(), JsonStringMode::Escaped) || !WriteText(output, ": ")) return false;
      mode = JsonModeForKey(walk.Key());
    }
    const BencEntity& current = walk.Entity();
    bool written = true;
    switch (step) {
      case BencWalk::Step::OpenList: written = WriteText(output, "[ "); break;
      case BencWalk::Step::OpenDict: written = WriteText(output, "{ "); break;
      default:
        if (current.IsInt()) {
          written = WriteInteger(output, current.GetInt64());
        } else if (current.IsString()) {
          written = WriteString(output, current.GetString(), mode);
        }
        break;
    }
    if (!written) return false;
  }
}

class BufferOutput : public RenderOutput {
 public:
  explicit BufferOutput(ByteBuffer& buffer) : buffer(buffer) {}
  bool Write(const char* text, size_t length) override { return buffer.Append(text, length); }

 private:
  ByteBuffer& buffer;
};
}  // namespace

JsonStringMode JsonModeForKey(std::string_view key) noexcept {
  static constexpr std::string_view hexKeys[] = {"share", "peer", "tree_hash", "pieces_hash", "hash",
                                                 "pk",    "p",    "sig",       "owner",       "have_pieces_hash"};
  for (const std::string_view hexKey : hexKeys) {
    if (key == hexKey) return JsonStringMode::Hex;
  }
  return key == "secret" ? JsonStringMode::Hidden : JsonStringMode::Escaped;
}

bool RenderJsonTo(RenderOutput& output, const BencEntity& entity, JsonStringMode mode) noexcept {
  try {
    return Render(output, entity, mode);
  } catch (const std::bad_alloc&) {
    return false;
  }
}

void RenderJson(ByteBuffer& buffer, const BencEntity& entity, JsonStringMode mode) noexcept {
  BufferOutput output(buffer);
  RenderJsonTo(output, entity, mode);
}
