#pragma once
// Where a format run writes: a position, a limit, and one write for narrow
// and one for wide text. Every write is clipped to the room left; once the
// position reaches the limit the run stops.
#include <cstdarg>
#include <cstddef>
#include <cstdlib>
#include <type_traits>

class FormatSink {
 public:
  virtual ~FormatSink() = default;
  // Store what fits; false once the sink is full.
  virtual bool Narrow(const char* text, size_t length) = 0;
  virtual bool Wide(const wchar_t* text, size_t length) = 0;
  // The unit count times (padding).
  bool Repeat(char unit, size_t count);
};

// Narrow units take the low byte of wide text; wide units widen narrow text
// byte by byte (zero-extended: no code page is involved).
template <typename Unit>
class UnitSink : public FormatSink {
 public:
  bool Narrow(const char* text, size_t length) override { return Put(text, length); }
  bool Wide(const wchar_t* text, size_t length) override { return Put(text, length); }
  size_t Position() const { return position; }

 protected:
  UnitSink(Unit* buffer, size_t limit) : buffer(buffer), limit(limit) {}
  // Units that can be stored at the position now (at most wanted); 0 stops
  // the run.
  virtual size_t Room(size_t wanted) = 0;

  Unit* buffer;
  size_t position = 0;
  size_t limit;

 private:
  template <typename In>
  static Unit ToUnit(In unit) {
    if constexpr (std::is_same_v<Unit, In>) {
      return unit;
    } else if constexpr (std::is_same_v<Unit, char>) {
      return static_cast<char>(static_cast<unsigned char>(unit & 0xFF));
    } else {
      return static_cast<Unit>(static_cast<unsigned char>(unit));
    }
  }

  template <typename In>
  bool Put(const In* text, size_t length) {
    while (length) {
      if (position >= limit) return false;
      const size_t room = Room(length);
      if (room == 0) {
        limit = position;
        return false;
      }
      const size_t count = room < length ? room : length;
      Unit* out = buffer + position;
      for (size_t i = 0; i < count; ++i) out[i] = ToUnit(text[i]);
      position += count;
      text += count;
      length -= count;
    }
    return position < limit;
  }
};

// A caller's buffer; the limit leaves room for the terminator.
template <typename Unit>
class FixedSink : public UnitSink<Unit> {
 public:
  FixedSink(Unit* buffer, size_t limit) : UnitSink<Unit>(buffer, limit) {}
  size_t Finish() {
    this->buffer[this->position] = 0;
    return this->position;
  }

 protected:
  size_t Room(size_t) override { return this->limit - this->position; }
};

// A heap string growing by doubling (at least 16 units) up to the limit.
template <typename Unit>
class HeapSink : public UnitSink<Unit> {
 public:
  explicit HeapSink(size_t limit) : UnitSink<Unit>(static_cast<Unit*>(malloc(16 * sizeof(Unit))), limit) {
    capacity = this->buffer ? 16 : 0;
    if (!this->buffer) this->limit = 0;
  }
  ~HeapSink() override { free(this->buffer); }
  HeapSink(const HeapSink&) = delete;
  HeapSink& operator=(const HeapSink&) = delete;

  // The terminated text for the caller to free; null when nothing could be
  // allocated.
  Unit* Take() {
    if (!this->buffer) return nullptr;
    this->buffer[this->position] = 0;
    Unit* text = this->buffer;
    this->buffer = nullptr;
    return text;
  }

 protected:
  size_t Room(size_t wanted) override {
    const size_t left = this->limit - this->position;
    const size_t count = wanted < left ? wanted : left;
    // One unit more than the text for the terminator.
    const size_t needed = this->position + count + 1;
    if (needed > capacity) {
      size_t grown = capacity * 2;
      if (grown < needed) grown = needed;
      if (grown > this->limit + 1) grown = this->limit + 1;
      void* moved = realloc(this->buffer, grown * sizeof(Unit));
      if (!moved) return capacity - 1 - this->position;
      this->buffer = static_cast<Unit*>(moved);
      capacity = grown;
    }
    return count;
  }

 private:
  size_t capacity;
};

void RunFormat(FormatSink& sink, const char* format, va_list args);
void RunFormat(FormatSink& sink, const wchar_t* format, va_list args);
