// Path parsing and joining over arbitrary UTF-16 text: components are never
// empty and hold no separator (but for the roots), and a joined path parses
// to a vector that joins to the same text again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "shim/fuzzcheck.h"
#include "util/pathvector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::wstring text = Utf16Units(data, size);
  const PathVector path(text);
  for (size_t index = 0; index < path.size(); ++index) {
    Require(!path[index].empty());
    if (index != 0) Require(path[index].find(L'\\') == std::wstring::npos);
  }
  const std::wstring joined = path.Join();
  Require(joined.size() <= text.size() + 1);
  const PathVector again(joined);
  Require(PathVector(again.Join()).Equals(again));
  Require(GetLastPathComponent(text).size() <= text.size());
  const size_t start = DirectoryTreeStart(text);
  Require(start == std::wstring::npos || start <= text.size());
  return 0;
}
