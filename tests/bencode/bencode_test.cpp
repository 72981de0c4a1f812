#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "bencode/bencencode.h"
#include "bencode/bencodeddict.h"
#include "bencode/bencparser.h"
#include "bencode/bencrender.h"

namespace {
std::string Encode(const BencEntity& entity) { return std::string(BencEncode(entity).View()); }
const char* Parse(std::string_view input, BencEntity& entity) {
  return BencParse(input.data(), input.data() + input.size(), entity);
}
std::string Render(const BencEntity& entity, JsonStringMode mode = JsonStringMode::Escaped) {
  ByteBuffer buffer;
  RenderJson(buffer, entity, mode);
  return std::string(buffer.View());
}
template <typename Info>
std::string Name(const Info& info) { return info.param.name; }

struct ParseCase {
  const char* name;
  std::string input;
  std::string reencoded;  // empty: the parse fails
};
class BencParseTest : public testing::TestWithParam<ParseCase> {};

TEST_P(BencParseTest, ParsesWholeOrFailsLeavingNothing) {
  const ParseCase& c = GetParam();
  std::string input = c.input;
  BencEntity entity;
  entity.SetInt(99);
  const char* after = Parse(input, entity);
  EXPECT_EQ(input, c.input) << "the input is never written to";
  if (c.reencoded.empty()) {
    EXPECT_EQ(after, nullptr);
    EXPECT_EQ(entity.Kind(), BencKind::None);
  } else {
    EXPECT_EQ(after, input.data() + input.size());
    EXPECT_EQ(Encode(entity), c.reencoded);
  }
}

INSTANTIATE_TEST_SUITE_P(Inputs, BencParseTest, testing::Values(
    ParseCase{"EmptyList", "le", "le"}, ParseCase{"EmptyDict", "de", "de"},
    ParseCase{"TopLevelInteger", "i5e", ""}, ParseCase{"TopLevelString", "3:abc", ""}, ParseCase{"EmptyInput", "", ""},
    ParseCase{"RepeatedKey", "d1:ai1e1:ai2ee", ""}, ParseCase{"UnsortedKeys", "d1:bi1e1:ai2ee", "d1:ai2e1:bi1ee"},
    ParseCase{"StringPastEnd", "l5:abce", ""}, ParseCase{"NoToken", "lxe", ""}, ParseCase{"OnlyListStart", "l", ""},
    ParseCase{"EndsInsideList", "l4:abce", ""}, ParseCase{"IntegerEndsAtNonDigit", "li12dee", "li12edee"},
    ParseCase{"IntegerAtEnd", "li12", ""}, ParseCase{"IntegerFollowedByColon", "li12:abcde", ""},
    ParseCase{"IntegerColonInDict", "di7:1234567890123456e", ""},
    ParseCase{"LeadingZerosInLength", "l03:abce", "l3:abce"}, ParseCase{"EmptyIntegers", "liei-ee", "li0ei0ee"},
    ParseCase{"IntegerKey", "di1ei2ee", ""}, ParseCase{"MissingValue", "d1:ae", ""}, ParseCase{"KeyAtEnd", "d1:a", ""},
    ParseCase{"LengthWithoutColon", "l3abce", ""}, ParseCase{"LengthNearTwoToThe32", "l4294967296:abce", ""},
    ParseCase{"LengthThatWouldWrap", "l99999999999999999999999999:ae", ""},
    ParseCase{"Beyond32Bits", "li4294967297ee", "li4294967297ee"},
    ParseCase{"NestedDicts", "d1:ad1:bd1:cleeee", "d1:ad1:bd1:cleeee"},
    ParseCase{"Saturation", "li99999999999999999999ei-99999999999999999999ee",
              "li9223372036854775807ei-9223372036854775808ee"},
    ParseCase{"BinaryString", std::string("l3:a\0be", 7), std::string("l3:a\0be", 7)}),
    Name<testing::TestParamInfo<ParseCase>>);

TEST(BencParse, StopsAfterTheTopLevelValue) {
  const std::string input = "d3:keyi7eeTRAILING";
  BencodedDict dict;
  EXPECT_EQ(Parse(input, dict), input.data() + 10);
  EXPECT_EQ(dict.GetInt("key"), 7);
}

TEST(BencEncode, WritesKeysInByteOrderAndLeavesOutWhatCannotBeWritten) {
  BencodedDict dict;
  dict.SetWideString("path", L"D:\\a");
  dict.SetInt("paths", INT32_MIN);
  dict.SetInt("\xC3", 3);
  dict.SetInt("Z", 0);
  dict.SetInt(std::string_view("ab\0cd", 5), -1);  // only up to the NUL
  dict.Insert("b", BencEntity());                  // a key without value
  EXPECT_EQ(Encode(dict), "d1:Zi0e2:abi-1e4:path4:D:\\a5:pathsi-2147483648e1:\xC3i3ee");
  EXPECT_EQ(BencEncode(BencEntity()).Size(), 0u);
}

struct RenderCase {
  const char* name;
  std::string input, rendering;
};
class BencRenderTest : public testing::TestWithParam<RenderCase> {};

TEST_P(BencRenderTest, RendersAsDiagnosticJson) {
  BencEntity entity;
  ASSERT_NE(Parse(GetParam().input, entity), nullptr);
  EXPECT_EQ(Render(entity), GetParam().rendering);
}

INSTANTIATE_TEST_SUITE_P(Values, BencRenderTest, testing::Values(
    RenderCase{"HexAndHiddenKeys", "d4:hash2:\x0A\xFF" "6:secret7:hunter2e",
               "{ \"hash\": \"AFF\", \"secret\": \"***\" }"},
    RenderCase{"EmptyContainers", "d1:ale1:bdee", "{ \"a\": [  ], \"b\": {  } }"},
    RenderCase{"Escapes", std::string("l9:\"\\\b\t\n\f\r\x01\x7F" "2:\xC3\xA9" "e"),
               "[ \"\\\"\\\\\\b\\t\\n\\f\\r\\u0001\x7F\", \"\xC3\xA9\" ]"},
    RenderCase{"ModeOnlyForDirectStrings", "d4:hashl2:\x0A\xFF" "e5:owneri7ee",
               "{ \"hash\": [ \"\\n\xFF\" ], \"owner\": 7 }"},
    RenderCase{"KeysMatchExactly", "d4:Hash1:\x01" "5:peers1:\x01" "1:p1:\x01" "e",
               "{ \"Hash\": \"\\u0001\", \"p\": \"1\", \"peers\": \"\\u0001\" }"},
    RenderCase{"NestedDictKeepsRules", "d1:xd6:secret1:aee", "{ \"x\": { \"secret\": \"***\" } }"},
    RenderCase{"Integers", "li-5ei0ee", "[ -5, 0 ]"}),
    Name<testing::TestParamInfo<RenderCase>>);

TEST(BencRender, AppliesTheModeToATopLevelString) {
  BencEntity text;
  text.SetString("\x01\xAB");
  EXPECT_EQ(Render(text, JsonStringMode::Hex), "\"1AB\"");
  EXPECT_EQ(Render(text, JsonStringMode::Hidden), "\"***\"");
}

TEST(BencodedDict, KeyedOperationsKeepPresentValuesAndDefaultForOtherKinds) {
  BencodedDict dict;
  BencEntity value;
  value.SetInt(-7);
  BencEntity* stored = dict.Insert("count", std::move(value));
  value.SetWideString(L"other");
  EXPECT_EQ(dict.Insert("count", std::move(value)), stored);
  dict.SetWideString("name", L"\u00e9\U0001F600");
  EXPECT_EQ(dict.GetInt64("count"), -7);
  EXPECT_EQ(dict.GetInt("name"), 0);
  EXPECT_EQ(dict.GetWideString("name"), L"\u00e9\U0001F600");
  EXPECT_EQ(dict.GetWideString("count"), L"");
  EXPECT_EQ(dict.GetWideString("missing"), L"");
  EXPECT_EQ(dict.Find("missing"), nullptr);
  BencodedDict notADict;
  notADict.SetInt(5);
  EXPECT_EQ(notADict.Find("count"), nullptr);
  EXPECT_EQ(notADict.Insert("count", BencEntity()), nullptr);
}

TEST(BencEntity, MovesLeaveTheSourceEmptyAndKeepAnOwnSubtree) {
  BencEntity root;
  ASSERT_NE(Parse("ll1:ai2eee", root), nullptr);
  root = std::move(*root.Item(0));
  EXPECT_EQ(Encode(root), "l1:ai2ee");
  BencEntity moved(std::move(root));
  EXPECT_EQ(root.Kind(), BencKind::None);
  EXPECT_EQ(Encode(moved), "l1:ai2ee");
}

TEST(ByteBuffer, RefusesGrowthBeyond32BitsAndKeepsItsBytes) {
  ByteBuffer buffer;
  EXPECT_TRUE(buffer.Append("abc", 3));
  EXPECT_FALSE(buffer.Append("abc", static_cast<size_t>(-1)));
  EXPECT_EQ(buffer.View(), "abc");
}

// A million levels: no operation may use stack in proportion to the depth.
constexpr size_t depth = 1000000;

TEST(BencDeep, NestedValuesParseEncodeRenderMoveAndDestroy) {
  std::string dicts;
  for (size_t i = 0; i < depth; ++i) dicts += "d1:a";
  dicts += "le" + std::string(depth, 'e');
  for (const std::string& input : {std::string(depth, 'l') + std::string(depth, 'e'), dicts}) {
    BencEntity entity;
    ASSERT_NE(Parse(input, entity), nullptr);
    EXPECT_TRUE(BencEncode(entity).View() == input);
    EXPECT_GE(Render(entity).size(), 4 * depth);
    BencEntity moved(std::move(entity));
    moved = BencEntity();
  }
  for (const std::string& input : {std::string(depth, 'l'), std::string(depth, 'l') + "x"}) {
    BencEntity entity;
    EXPECT_EQ(Parse(input, entity), nullptr);
    EXPECT_EQ(entity.Kind(), BencKind::None);
  }
  BencEntity root;
  root.SetList();
  BencEntity* inner = &root;
  for (size_t i = 0; i < depth && inner; ++i) {
    BencEntity list;
    list.SetList();
    inner = inner->Append(std::move(list));
  }
  ASSERT_NE(inner, nullptr);
  root.SetInt(1);  // destroys the chain built by Append
}
}  // namespace
