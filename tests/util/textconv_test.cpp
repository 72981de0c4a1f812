#include <gtest/gtest.h>

#include <string>

#include "util/textconv.h"

namespace {
TEST(Utf16ToUtf8, ConvertsTerminatedText) {
  EXPECT_EQ(Utf16ToUtf8(L"D:\\Fr\u00e9d \U0001F600"), "D:\\Fr\xC3\xA9" "d \xF0\x9F\x98\x80");
  EXPECT_EQ(Utf16ToUtf8(L""), "");
  EXPECT_EQ(Utf16ToUtf8(nullptr), "");
}

TEST(Utf16ToUtf8Alloc, GivesTheLengthWithoutTerminator) {
  const Utf8Text text = Utf16ToUtf8Alloc(L"\u00e9t\u00e9");
  ASSERT_TRUE(text.data);
  EXPECT_EQ(text.length, 5u);
  EXPECT_STREQ(text.data.get(), "\xC3\xA9t\xC3\xA9");
  EXPECT_FALSE(Utf16ToUtf8Alloc(nullptr).data);
}

TEST(Utf8ToUtf16, ConvertsOrGivesEmpty) {
  EXPECT_EQ(Utf8ToUtf16("\xC3\xA9t\xC3\xA9"), L"\u00e9t\u00e9");
  EXPECT_EQ(Utf8ToUtf16(""), L"");
  EXPECT_EQ(Utf8ToUtf16(nullptr), L"");
}

struct MultiByteCase {
  const char* name;
  unsigned codePage;
  std::string text;
  ptrdiff_t length;
  std::wstring expected;
};

class MultiByteToUtf16Test : public testing::TestWithParam<MultiByteCase> {};

TEST_P(MultiByteToUtf16Test, ConvertsTerminatedResults) {
  const MultiByteCase& c = GetParam();
  const WideText wide = MultiByteToUtf16(c.codePage, c.text.c_str(), c.length);
  ASSERT_TRUE(wide.data);
  EXPECT_EQ(std::wstring(wide.data.get(), wide.length), c.expected);
  EXPECT_EQ(wide.data[wide.length], L'\0');
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, MultiByteToUtf16Test,
    testing::Values(MultiByteCase{"ZeroMeansUtf8", 0, "\xC3\xA9", -1, L"\u00e9"},
                    MultiByteCase{"ExplicitLength", 0, "abcdef", 2, L"ab"},
                    MultiByteCase{"EmbeddedNul", 0, std::string("a\0b", 3), 3, std::wstring(L"a\0b", 3)},
                    MultiByteCase{"OtherCodePage", 1252, "\xE9", -1, L"\u00e9"},
                    MultiByteCase{"UnknownCodePageFallsBackToAnsi", 12345, "abc", -1, L"abc"},
                    MultiByteCase{"Empty", 0, "", -1, L""}),
    [](const testing::TestParamInfo<MultiByteCase>& info) { return std::string(info.param.name); });

TEST(MultiByteToUtf16, NullTextGivesNoResult) { EXPECT_FALSE(MultiByteToUtf16(0, nullptr, -1).data); }
}  // namespace
