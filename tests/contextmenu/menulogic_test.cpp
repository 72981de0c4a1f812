// Narrow help texts are cut to the host's buffer only between UTF-8
// characters; the English texts through the DLL cannot show it.
#include <gtest/gtest.h>

#include "contextmenu/utf8prefix.h"

TEST(Utf8Prefix, FitsTheBufferWithItsNulAndCutsOnlyBetweenCharacters) {
  const std::string text = "ab\xC3\xBC" "c\xF0\x9F\x98\x80";  // "abüc" and a four-byte character
  const std::pair<size_t, size_t> capacityAndLength[] = {{0, 0}, {1, 0}, {3, 2}, {4, 2}, {5, 4},
                                                         {6, 5}, {9, 5}, {10, 9}, {64, 9}};
  for (const auto& [capacity, length] : capacityAndLength)
    EXPECT_EQ(Utf8PrefixFitting(text, capacity), length) << capacity;
}
