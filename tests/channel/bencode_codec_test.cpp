#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "channel/bencencode.h"
#include "channel/bencodeddict.h"
#include "channel/bencparser.h"
#include "channel/bencrender.h"

namespace {
std::string Encode(const BencEntity& entity) { return std::string(BencEncode(entity).View()); }

const char* ParseAll(std::string_view input, BencEntity& entity) {
  return BencParse(input.data(), input.data() + input.size(), entity);
}

std::string Render(const BencEntity& entity, JsonStringMode mode = JsonStringMode::Escaped) {
  ByteBuffer buffer;
  RenderJson(buffer, entity, mode);
  return std::string(buffer.View());
}

struct ParseCase {
  const char* name;
  std::string input;
  bool parses;
  std::string reencoded;  // when it parses
};

class BencParseTest : public testing::TestWithParam<ParseCase> {};

TEST_P(BencParseTest, ParsesOrFailsAndReencodesCanonically) {
  const ParseCase& c = GetParam();
  BencEntity entity;
  entity.SetInt(99);  // a failed parse must leave nothing of this behind
  const char* after = ParseAll(c.input, entity);
  if (!c.parses) {
    EXPECT_EQ(after, nullptr);
    EXPECT_EQ(entity.Kind(), BencKind::None);
    return;
  }
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(after, c.input.data() + c.input.size());
  EXPECT_EQ(Encode(entity), c.reencoded);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, BencParseTest,
    testing::Values(
        ParseCase{"EmptyList", "le", true, "le"}, ParseCase{"EmptyDict", "de", true, "de"},
        ParseCase{"TopLevelInteger", "i5e", false, ""}, ParseCase{"TopLevelString", "3:abc", false, ""},
        ParseCase{"EmptyInput", "", false, ""}, ParseCase{"RepeatedKey", "d1:ai1e1:ai2ee", false, ""},
        ParseCase{"UnsortedKeys", "d1:bi1e1:ai2ee", true, "d1:ai2e1:bi1ee"},
        ParseCase{"StringPastEnd", "l5:abce", false, ""}, ParseCase{"ByteStartsNoToken", "lxe", false, ""},
        ParseCase{"OnlyListStart", "l", false, ""}, ParseCase{"EndsInsideList", "l4:abce", false, ""},
        ParseCase{"IntegerEndsAtNonDigit", "li12dee", true, "li12edee"},
        ParseCase{"IntegerAtEndOfInput", "li12", false, ""},
        ParseCase{"IntegerFollowedByColon", "li12:abcde", false, ""},
        ParseCase{"LeadingZerosInLength", "l03:abce", true, "l3:abce"},
        ParseCase{"EmptyIntegers", "liei-ee", true, "li0ei0ee"},
        ParseCase{"IntegerKey", "di1ei2ee", false, ""}, ParseCase{"MissingValue", "d1:ae", false, ""},
        ParseCase{"KeyAtEnd", "d1:a", false, ""}, ParseCase{"LengthWithoutColon", "l3abce", false, ""},
        ParseCase{"LengthNearTwoToThe32", "l4294967296:abce", false, ""},
        ParseCase{"LengthThatWouldWrap", "l99999999999999999999999999:ae", false, ""},
        ParseCase{"NestedDictionaries", "d1:ad1:bd1:cleeee", true, "d1:ad1:bd1:cleeee"},
        ParseCase{"Saturation", "li99999999999999999999ei-99999999999999999999ee", true,
                  "li9223372036854775807ei-9223372036854775808ee"},
        ParseCase{"BinaryString", std::string("l3:a\0be", 7), true, std::string("l3:a\0be", 7)}),
    [](const testing::TestParamInfo<ParseCase>& info) { return std::string(info.param.name); });

TEST(BencParse, StopsAfterTheTopLevelValue) {
  const std::string input = "d3:keyi7eeTRAILING";
  BencodedDict dict;
  const char* after = ParseAll(input, dict);
  ASSERT_NE(after, nullptr);
  EXPECT_EQ(after - input.data(), 10);
  EXPECT_EQ(dict.GetInt("key"), 7);
}

TEST(BencParse, IntegerTokenNeverWritesIntoTheInput) {
  std::string input = "di7:1234567890123456e";
  const std::string before = input;
  BencEntity entity;
  EXPECT_EQ(ParseAll(input, entity), nullptr);
  EXPECT_EQ(input, before);
}

TEST(BencParser, ReportsTokensWithTheirBytes) {
  const std::string input = "i-42e4:spamle";
  BencParser parser(reinterpret_cast<const uint8_t*>(input.data()),
                    reinterpret_cast<const uint8_t*>(input.data() + input.size()));
  const uint8_t* bytes = nullptr;
  size_t length = 0;
  ASSERT_EQ(parser.NextToken(&bytes, &length), BencToken::Integer);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), length), "-42");
  EXPECT_EQ(BencTokenToInt64(bytes, length), -42);
  ASSERT_EQ(parser.NextToken(&bytes, &length), BencToken::String);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(bytes), length), "spam");
  EXPECT_EQ(parser.NextToken(&bytes, &length), BencToken::ListStart);
  EXPECT_EQ(parser.NextToken(&bytes, &length), BencToken::End);
  EXPECT_EQ(parser.NextToken(&bytes, &length), BencToken::EndOfInput);
}

TEST(BencEncode, WritesKeysInByteOrderWhateverTheInsertionOrder) {
  BencodedDict dict;
  dict.SetWideString("path", L"D:\\Sync\\a.txt");
  dict.SetInt("action", 3);
  dict.SetInt("last", 1);
  EXPECT_EQ(Encode(dict), "d6:actioni3e4:lasti1e4:path13:D:\\Sync\\a.txte");

  BencodedDict bytewise;
  bytewise.SetInt("paths", 2);
  bytewise.SetInt("\xC3", 3);
  bytewise.SetInt("path", 1);
  bytewise.SetInt("Z", 0);
  EXPECT_EQ(Encode(bytewise), "d1:Zi0e4:pathi1e5:pathsi2e1:\xC3i3ee");
}

TEST(BencEncode, WritesIntegersInFull) {
  BencEntity list;
  list.SetList();
  BencEntity item;
  item.SetInt(0);
  list.Append(std::move(item));
  item.SetInt(-1);
  list.Append(std::move(item));
  item.SetInt(INT32_MIN);
  list.Append(std::move(item));
  EXPECT_EQ(Encode(list), "li0ei-1ei-2147483648ee");

  BencEntity parsed;
  ASSERT_NE(ParseAll("li-9223372036854775808ee", parsed), nullptr);
  EXPECT_EQ(Encode(parsed), "li-9223372036854775808ee");
}

TEST(BencEncode, WritesAKeyOnlyUpToItsFirstNul) {
  BencodedDict dict;
  dict.SetInt(std::string_view("ab\0cd", 5), 1);
  EXPECT_EQ(Encode(dict), "d2:abi1ee");
}

TEST(BencEncode, LeavesOutKeysWithoutValue) {
  BencodedDict dict;
  dict.SetInt("a", 1);
  dict.Insert("b", BencEntity());
  EXPECT_EQ(Encode(dict), "d1:ai1ee");
  BencEntity reparsed;
  EXPECT_NE(ParseAll(Encode(dict), reparsed), nullptr);
}

TEST(BencEncode, GivesNothingForAnEmptyEntity) {
  ByteBuffer encoded = BencEncode(BencEntity());
  EXPECT_EQ(encoded.Size(), 0u);
}

struct RenderCase {
  const char* name;
  std::string input;
  std::string rendering;
};

class BencRenderTest : public testing::TestWithParam<RenderCase> {};

TEST_P(BencRenderTest, RendersAsDiagnosticJson) {
  BencEntity entity;
  ASSERT_NE(ParseAll(GetParam().input, entity), nullptr);
  EXPECT_EQ(Render(entity), GetParam().rendering);
}

INSTANTIATE_TEST_SUITE_P(
    Values, BencRenderTest,
    testing::Values(
        RenderCase{"HexAndHiddenKeys", "d4:hash2:\x0A\xFF" "6:secret7:hunter2e",
                   "{ \"hash\": \"AFF\", \"secret\": \"***\" }"},
        RenderCase{"EmptyContainers", "d1:ale1:bdee", "{ \"a\": [  ], \"b\": {  } }"},
        RenderCase{"Escapes", std::string("l9:\"\\\b\t\n\f\r\x01\x7F" "2:\xC3\xA9" "e"),
                   "[ \"\\\"\\\\\\b\\t\\n\\f\\r\\u0001\x7F\", \"\xC3\xA9\" ]"},
        RenderCase{"ModeOnlyForDirectStrings", "d4:hashl2:\x0A\xFF" "e5:owneri7ee",
                   "{ \"hash\": [ \"\\n\xFF\" ], \"owner\": 7 }"},
        RenderCase{"KeysMatchExactly", "d4:Hash1:\x01" "5:peers1:\x01" "1:p1:\x01" "e",
                   "{ \"Hash\": \"\\u0001\", \"p\": \"1\", \"peers\": \"\\u0001\" }"},
        RenderCase{"NestedDictionaryKeepsRules", "d1:xd6:secret1:aee", "{ \"x\": { \"secret\": \"***\" } }"},
        RenderCase{"Integers", "li-5ei0ee", "[ -5, 0 ]"}),
    [](const testing::TestParamInfo<RenderCase>& info) { return std::string(info.param.name); });

TEST(BencRender, AppliesTheModeToATopLevelString) {
  BencEntity text;
  text.SetString("\x01\xAB");
  EXPECT_EQ(Render(text, JsonStringMode::Hex), "\"1AB\"");
  EXPECT_EQ(Render(text, JsonStringMode::Hidden), "\"***\"");
}
}  // namespace
