// Parse and encode of bencoded command messages at 1 KB, 1 MB and 64 MB:
// the time per byte should stay flat as the input grows.
#include <cstdio>
#include <string>
#include <vector>

#include "bencode/bencencode.h"
#include "bencode/bencparser.h"
#include "support/benchreport.h"
#include "util/strfmt.h"

namespace {
// A list of download messages with paths of about 60 bytes, up to the size.
std::string MakeInput(size_t size) {
  std::string input = "l";
  for (unsigned i = 0;; ++i) {
    const std::string path = FormatString("D:\\Sync\\Projects\\Quarterly reports\\%u\\draft-%08u.docx", i % 97, i);
    const std::string message = FormatString("d6:actioni3e4:lasti%de4:path%u:%se", static_cast<int>(i % 2),
                                             static_cast<unsigned>(path.size()), path.c_str());
    if (input.size() + message.size() + 1 > size) break;
    input += message;
  }
  return input + "e";
}

volatile uint64_t sink;

void Measure(const char* caseName, size_t size, int runs, int perRun) {
  const std::string input = MakeInput(size);
  const auto* begin = reinterpret_cast<const uint8_t*>(input.data());
  const auto* end = begin + input.size();

  const double floorNs = MedianNs([&] { sink = TouchBytes(input.data(), input.size()); }, runs, perRun);
  // Values are freed outside the timed parses.
  std::vector<BencEntity> values(static_cast<size_t>(perRun));
  size_t next = 0;
  const double parseNs = MedianNs(
      [&] {
        if (!BencParse(begin, end, values[next++ % values.size()])) fputs("parse failed\n", stderr);
      },
      runs, perRun, [&] {
        for (BencEntity& value : values) value.Clear();
      });
  const BencEntity& parsed = values.front();
  BencParse(begin, end, values.front());
  const double encodeNs = MedianNs(
      [&] {
        const ByteBuffer encoded = BencEncode(parsed);
        sink = encoded.Size();
      },
      runs, perRun);
  ReportRow("bencode parse", caseName, input.size(), parseNs, floorNs);
  ReportRow("bencode encode", caseName, input.size(), encodeNs, floorNs);
}
}  // namespace

int main() {
  Measure("1 KB", 1024, 15, 2000);
  Measure("1 MB", 1024 * 1024, 15, 2);
  Measure("64 MB", 64 * 1024 * 1024, 5, 1);
  return 0;
}
