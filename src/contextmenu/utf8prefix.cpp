#include "contextmenu/utf8prefix.h"

size_t Utf8PrefixFitting(std::string_view text, size_t capacity) {
  if (capacity == 0) return 0;
  if (text.size() < capacity) return text.size();
  size_t length = capacity - 1;
  // Step back over continuation bytes to the start of the cut character.
  while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  return length;
}
