#pragma once
// The JSON-like diagnostic rendering of bencode values (the formatter's %D).
#include <cstddef>

#include "bencode/bencentity.h"
#include "bencode/bytebuffer.h"

enum class JsonStringMode : int {
  Escaped = 0,  // quoted, JSON escapes for control bytes
  Hex = 1,      // quoted, each byte in upper-case hex without leading zero
  Hidden = 2,   // quoted three asterisks
};

// Receives the rendering piece by piece; false stops it.
class RenderOutput {
 public:
  virtual ~RenderOutput() = default;
  virtual bool Write(const char* text, size_t length) = 0;
};

// Renders into the output; false when the output stopped it or memory ran out.
bool RenderJsonTo(RenderOutput& output, const BencEntity& entity, JsonStringMode mode) noexcept;
// Appends the rendering to the buffer (as much as fits).
void RenderJson(ByteBuffer& buffer, const BencEntity& entity, JsonStringMode mode) noexcept;
// The mode of a string directly under the key: hex for digests and keys,
// hidden for the secret, escaped for everything else.
JsonStringMode JsonModeForKey(std::string_view key) noexcept;
