#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "localization/textfile.h"

using namespace std::string_view_literals;

struct DecodeCase {
  std::string_view bytes;
  std::wstring_view text;
};

class DecodeTextFileTest : public testing::TestWithParam<DecodeCase> {};

TEST_P(DecodeTextFileTest, DecodesUtf8AndMarksWhatItCannot) {
  EXPECT_EQ(DecodeTextFile(GetParam().bytes), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Bytes, DecodeTextFileTest,
    testing::Values(DecodeCase{"\xEF\xBB\xBFMit", L"Mit"}, DecodeCase{"Ger\xC3\xA4t", L"Ger\u00E4t"},
                    DecodeCase{"\xE5\x85\xB1\xE4\xBA\xAB", L"\u5171\u4EAB"},
                    DecodeCase{"\xF0\x9F\x98\x80", L"\xD83D\xDE00"},
                    DecodeCase{"a\xFF" "b", L"a\xFFFD" L"b"},
                    // Overlong forms, encoded surrogates and a cut sequence.
                    DecodeCase{"\xC0\x80", L"\xFFFD\xFFFD"}, DecodeCase{"\xED\xA0\x80", L"\xFFFD\xFFFD\xFFFD"},
                    DecodeCase{"x\xE4\xBA", L"x\xFFFD"}, DecodeCase{"\xE4\xBA" "A", L"\xFFFD" L"A"},
                    DecodeCase{"ab\0cd"sv, L"ab"}, DecodeCase{"\xEF\xBB", L"\xFFFD"}));

TEST(EncodeUtf8, RoundTripsAndReplacesLoneSurrogates) {
  EXPECT_EQ(EncodeUtf8(L"Ger\u00E4t \u5171 \xD83D\xDE00"), "Ger\xC3\xA4t \xE5\x85\xB1 \xF0\x9F\x98\x80");
  EXPECT_EQ(EncodeUtf8(L"a\xD800" L"b"), "a\xEF\xBF\xBD" "b");
}

struct LinesCase {
  std::wstring_view text;
  std::vector<std::wstring> lines;
};

class LineReaderTest : public testing::TestWithParam<LinesCase> {};

TEST_P(LineReaderTest, SkipsBlankLinesAndDropsOneTrailingStar) {
  LineReader reader(GetParam().text);
  std::vector<std::wstring> lines;
  while (!reader.AtEnd() && lines.size() < 10) lines.emplace_back(reader.Next());
  EXPECT_EQ(lines, GetParam().lines);
  EXPECT_TRUE(reader.Next().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Texts, LineReaderTest,
    testing::Values(LinesCase{L"a\r\nb\n\n\r\nc", {L"a", L"b", L"c"}}, LinesCase{L"\n\nfirst\n", {L"first"}},
                    LinesCase{L"Version *\nStar**\n*\nx\\n", {L"Version ", L"Star*", L"", L"x\\n"}},
                    LinesCase{L"one\0two"sv, {L"one"}}, LinesCase{L"", {}}, LinesCase{L"\r\n\r\n", {}}));
