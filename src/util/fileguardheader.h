#pragma once
// The file-guard header of a bencoded file: "d10:.fileguard40:", the SHA-1
// of the plain content as 40 hexadecimal digits, then the plain content
// without its leading 'd'. The stored file is itself a bencoded dictionary.
// Pure byte work, shared with the host build for fuzzing.
#include <cstddef>
#include <cstdint>
#include <string_view>

inline constexpr std::string_view fileGuardKey = "d10:.fileguard40:";
// Written by earlier versions; still read.
inline constexpr std::string_view olderFileGuardKey = "d10:file_guard40:";
inline constexpr size_t fileGuardHeaderSize = 57;
// The header bytes that follow the leading 'd' and are removed on reading.
inline constexpr size_t fileGuardInsertSize = fileGuardHeaderSize - 1;

enum class FileGuardState {
  Plain,    // no header: the content is taken as it is
  Guarded,  // a header with a well-formed digest
  Damaged,  // a header whose digest is not hexadecimal
};

struct FileGuardHeader {
  FileGuardState state = FileGuardState::Plain;
  uint8_t digest[20] = {};
};

FileGuardHeader ParseFileGuardHeader(const uint8_t* data, size_t size);

// Removes the header of a guarded file in place, leaving the plain content;
// returns its size. Needs size >= fileGuardHeaderSize.
size_t StripFileGuardHeader(uint8_t* data, size_t size);
