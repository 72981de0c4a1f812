#include "util/strfmtbencode.h"

#include <cstdarg>

#include "bencode/bencentity.h"
#include "bencode/bencrender.h"
#include "bencode/bytebuffer.h"
#include "util/strfmt.h"
#include "util/strfmtsink.h"

namespace {
constexpr size_t appendBufferSize = 32768;

class SinkRenderOutput : public RenderOutput {
 public:
  explicit SinkRenderOutput(FormatSink& sink) : sink(sink) {}
  bool Write(const char* text, size_t length) override {
    full = !sink.Narrow(text, length);
    return !full;
  }
  bool full = false;

 private:
  FormatSink& sink;
};

}  // namespace

bool FormatBencodedDictionary(FormatSink& sink, const BencEntity* entity) {
  if (!entity) return true;
  if (!entity->IsDict()) return sink.Narrow("invalid", 7);
  SinkRenderOutput output(sink);
  RenderJsonTo(output, *entity, JsonStringMode::Escaped);
  return !output.full;
}


void AppendFormat(ByteBuffer& buffer, const char* format, ...) {
  char text[appendBufferSize];
  va_list args;
  va_start(args, format);
  const size_t length = FormatToBufferV(text, sizeof text, format, args);
  va_end(args);
  buffer.Append(text, length);
}
