#include "bencode/bytebuffer.h"

#include <cstdlib>
#include <cstring>
#include <utility>

namespace {
constexpr uint64_t minimumCapacity = 16;
// The largest allocation the buffer asks for: its counters are 32-bit, and a
// 32-bit process cannot hand out more than half its address space anyway.
constexpr uint64_t maximumCapacity = sizeof(void*) == 4 ? 0x7FFFFFFFu : 0xFFFFFFFFu;
}  // namespace

ByteBuffer::~ByteBuffer() { free(data); }

ByteBuffer::ByteBuffer(ByteBuffer&& other) noexcept
    : data(std::exchange(other.data, nullptr)),
      capacity(std::exchange(other.capacity, 0)),
      size(std::exchange(other.size, 0)) {}

ByteBuffer& ByteBuffer::operator=(ByteBuffer&& other) noexcept {
  if (this != &other) {
    free(data);
    data = std::exchange(other.data, nullptr);
    capacity = std::exchange(other.capacity, 0);
    size = std::exchange(other.size, 0);
  }
  return *this;
}

bool ByteBuffer::Grow(uint64_t needed) noexcept {
  if (needed <= capacity) return true;
  if (needed > maximumCapacity) return false;
  uint64_t grown = 2 * static_cast<uint64_t>(capacity);
  if (grown < needed) grown = needed;
  if (grown < minimumCapacity) grown = minimumCapacity;
  if (grown > maximumCapacity) grown = maximumCapacity;
  void* moved = realloc(data, static_cast<size_t>(grown));
  if (!moved) return false;
  data = static_cast<uint8_t*>(moved);
  capacity = static_cast<uint32_t>(grown);
  return true;
}

bool ByteBuffer::Reserve(size_t wanted) noexcept {
  if (wanted <= capacity) return true;
  if (wanted > maximumCapacity) return false;
  void* moved = realloc(data, wanted);
  if (!moved) return false;
  data = static_cast<uint8_t*>(moved);
  capacity = static_cast<uint32_t>(wanted);
  return true;
}

bool ByteBuffer::Append(const void* bytes, size_t length) noexcept {
  if (length == 0) return true;
  if (length > maximumCapacity) return false;
  if (!Grow(static_cast<uint64_t>(size) + length)) return false;
  memcpy(data + size, bytes, length);
  size += static_cast<uint32_t>(length);
  return true;
}

bool ByteBuffer::AppendByte(uint8_t byte) noexcept {
  if (size == capacity && !Grow(static_cast<uint64_t>(size) + 1)) return false;
  data[size++] = byte;
  return true;
}

void ByteBuffer::Trim(uint32_t minimum) noexcept {
  const uint32_t wanted = size > minimum ? size : minimum;
  if (!data || wanted >= capacity) return;
  // A failed shrink keeps the larger block, which is still valid.
  if (void* moved = realloc(data, wanted)) {
    data = static_cast<uint8_t*>(moved);
    capacity = wanted;
  }
}

uint8_t* ByteBuffer::Release() noexcept {
  capacity = 0;
  size = 0;
  return std::exchange(data, nullptr);
}
