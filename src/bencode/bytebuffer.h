#pragma once
// A growable byte buffer of at most 4 GiB - 1 bytes: the output of the
// encoder, the diagnostic rendering and AppendFormat.
#include <cstddef>
#include <cstdint>
#include <string_view>

struct ByteBuffer {
 public:
  ByteBuffer() noexcept = default;
  ~ByteBuffer();
  ByteBuffer(ByteBuffer&& other) noexcept;
  ByteBuffer& operator=(ByteBuffer&& other) noexcept;
  ByteBuffer(const ByteBuffer&) = delete;
  ByteBuffer& operator=(const ByteBuffer&) = delete;

  // Makes room for at least capacity bytes; false when that cannot be had.
  bool Reserve(size_t wanted) noexcept;
  // Appends the bytes, growing to max(size + length, 2 * capacity), never
  // below 16. False, with the buffer unchanged, when the result would not
  // fit in 32 bits or memory runs out.
  bool Append(const void* bytes, size_t length) noexcept;
  bool Append(std::string_view text) noexcept { return Append(text.data(), text.size()); }
  bool AppendByte(uint8_t byte) noexcept;
  // Shrinks the allocation to max(size, minimum) bytes.
  void Trim(uint32_t minimum) noexcept;
  void Clear() noexcept { size = 0; }
  // Hands the bytes to the caller, who frees them with free(); the buffer is
  // empty afterwards.
  uint8_t* Release() noexcept;

  const uint8_t* Data() const noexcept { return data; }
  uint32_t Size() const noexcept { return size; }
  uint32_t Capacity() const noexcept { return capacity; }
  std::string_view View() const noexcept {
    return std::string_view(reinterpret_cast<const char*>(data), size);
  }

 private:
  bool Grow(uint64_t needed) noexcept;

  uint8_t* data = nullptr;
  uint32_t capacity = 0;
  uint32_t size = 0;
};
