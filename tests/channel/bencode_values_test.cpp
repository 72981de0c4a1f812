#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "channel/bencencode.h"
#include "channel/bencodeddict.h"
#include "channel/bencparser.h"

namespace {
std::string Encode(const BencEntity& entity) { return std::string(BencEncode(entity).View()); }

TEST(BencodedDict, InsertKeepsAPresentValue) {
  BencodedDict dict;
  BencEntity first;
  first.SetInt(1);
  BencEntity* stored = dict.Insert("key", std::move(first));
  ASSERT_NE(stored, nullptr);
  BencEntity second;
  second.SetWideString(L"other");
  EXPECT_EQ(dict.Insert("key", std::move(second)), stored);
  EXPECT_EQ(dict.GetInt("key"), 1);
  EXPECT_EQ(dict.Count(), 1u);
}

TEST(BencodedDict, KeyedReadsGiveDefaultsForMissingOrMismatchedKinds) {
  BencodedDict dict;
  dict.SetWideString("name", L"x");
  dict.SetInt("count", -7);
  EXPECT_EQ(dict.GetInt("name"), 0);
  EXPECT_EQ(dict.GetInt64("name"), 0);
  EXPECT_EQ(dict.GetWideString("count"), L"");
  EXPECT_EQ(dict.GetInt("missing"), 0);
  EXPECT_EQ(dict.GetWideString("missing"), L"");
  EXPECT_EQ(dict.GetInt64("count"), -7);
  EXPECT_EQ(dict.Find("missing"), nullptr);

  BencodedDict notADict;
  notADict.SetInt(5);
  EXPECT_EQ(notADict.Find("count"), nullptr);
  EXPECT_EQ(notADict.Insert("count", BencEntity()), nullptr);
}

TEST(BencodedDict, BuildsTheShareMessage) {
  BencodedDict dict;
  dict.SetInt("action", 7);
  BencEntity* files = dict.AddList("files");
  ASSERT_NE(files, nullptr);
  files->AppendWideString(L"D:\\Sync\\a.txt");
  files->AppendWideString(L"D:\\Sync\\b.txt");
  dict.SetInt("last", 1);
  EXPECT_EQ(Encode(dict), "d6:actioni7e5:filesl13:D:\\Sync\\a.txt13:D:\\Sync\\b.txte4:lasti1ee");
}

TEST(BencEntity, IntegerAccessorsSignExtendAndTruncate) {
  BencEntity entity;
  entity.SetInt(-2);
  EXPECT_EQ(entity.Kind(), BencKind::Int32);
  EXPECT_EQ(entity.GetInt64(), -2);

  BencEntity parsed;
  ASSERT_NE(BencParse(std::string_view("li4294967297ee").data(), std::string_view("li4294967297ee").end(), parsed),
            nullptr);
  const BencEntity* item = parsed.Item(0);
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(item->Kind(), BencKind::Integer);
  EXPECT_EQ(item->GetInt64(), 4294967297LL);
  EXPECT_EQ(item->GetInt(), 1);
}

struct WideCase {
  const char* name;
  const wchar_t* text;
  std::string utf8;
};

class BencWideStringTest : public testing::TestWithParam<WideCase> {};

TEST_P(BencWideStringTest, StoresUtf8AndReadsBackUtf16) {
  BencEntity entity;
  ASSERT_TRUE(entity.SetWideString(GetParam().text));
  EXPECT_EQ(entity.Kind(), BencKind::String);
  EXPECT_EQ(entity.GetString(), GetParam().utf8);
  EXPECT_EQ(entity.GetWideString(), GetParam().text ? GetParam().text : L"");
}

INSTANTIATE_TEST_SUITE_P(Texts, BencWideStringTest,
                         testing::Values(WideCase{"Null", nullptr, ""}, WideCase{"Empty", L"", ""},
                                         WideCase{"Ascii", L"C:\\a b", "C:\\a b"},
                                         WideCase{"Latin", L"D:\\Fr\u00e9d\u00e9ric", "D:\\Fr\xC3\xA9" "d\xC3\xA9ric"},
                                         WideCase{"Astral", L"\U0001F600", "\xF0\x9F\x98\x80"}),
                         [](const testing::TestParamInfo<WideCase>& info) { return std::string(info.param.name); });

TEST(BencEntity, GetWideStringOfOtherKindsIsEmpty) {
  BencEntity entity;
  EXPECT_EQ(entity.GetWideString(), L"");
  entity.SetInt(3);
  EXPECT_EQ(entity.GetWideString(), L"");
  entity.SetList();
  EXPECT_EQ(entity.GetWideString(), L"");
}

TEST(BencEntity, MoveLeavesTheSourceEmpty) {
  BencodedDict dict;
  dict.SetInt("a", 1);
  BencEntity moved(std::move(dict));
  EXPECT_EQ(dict.Kind(), BencKind::None);
  EXPECT_EQ(moved.Kind(), BencKind::Dict);

  BencEntity target;
  target.SetWideString(L"old");
  target = std::move(moved);
  EXPECT_EQ(moved.Kind(), BencKind::None);
  EXPECT_EQ(Encode(target), "d1:ai1ee");
}

TEST(BencEntity, MoveAssignFromOwnSubtreeKeepsTheSubtree) {
  BencEntity root;
  const std::string input = "ll1:ai2eee";
  ASSERT_NE(BencParse(input.data(), input.data() + input.size(), root), nullptr);
  root = std::move(*root.Item(0));
  EXPECT_EQ(Encode(root), "l1:ai2ee");
}

TEST(BencEntity, AppendGrowsPastManyItems) {
  BencEntity list;
  list.SetList();
  std::string expected = "l";
  for (int i = 0; i < 1000; ++i) {
    BencEntity item;
    item.SetInt(i);
    ASSERT_NE(list.Append(std::move(item)), nullptr);
    expected += "i" + std::to_string(i) + "e";
  }
  EXPECT_EQ(list.Count(), 1000u);
  EXPECT_EQ(Encode(list), expected + "e");
  BencEntity notAList;
  BencEntity item;
  item.SetInt(1);
  EXPECT_EQ(notAList.Append(std::move(item)), nullptr);
  EXPECT_EQ(item.GetInt(), 1);
}

TEST(ByteBuffer, GrowsAndHandsOutItsBytes) {
  ByteBuffer buffer;
  EXPECT_TRUE(buffer.Append("ab", 2));
  EXPECT_EQ(buffer.Capacity(), 16u);
  std::string big(40, 'x');
  EXPECT_TRUE(buffer.Append(big));
  EXPECT_EQ(buffer.Capacity(), 42u);
  EXPECT_TRUE(buffer.Append("y", 1));
  EXPECT_EQ(buffer.Capacity(), 84u);
  EXPECT_EQ(buffer.View(), "ab" + big + "y");
  uint8_t* released = buffer.Release();
  EXPECT_EQ(buffer.Size(), 0u);
  EXPECT_EQ(memcmp(released, "ab", 2), 0);
  free(released);
}

TEST(ByteBuffer, RefusesGrowthBeyond32Bits) {
  ByteBuffer buffer;
  EXPECT_TRUE(buffer.Append("abc", 3));
  EXPECT_FALSE(buffer.Append("abc", static_cast<size_t>(-1)));
  EXPECT_EQ(buffer.View(), "abc");
}

// A regime that keeps integer tokens as text.
class TextIntegerRegime : public BencEntity::AllocateMemRegime {
 public:
  bool KeepIntegersAsText() override { return true; }
};

TEST(BencParseTokens, UsesTheRegimeForStrings) {
  const std::string input = "li12e2:abe";
  BencParser tokens(reinterpret_cast<const uint8_t*>(input.data()),
                    reinterpret_cast<const uint8_t*>(input.data() + input.size()));
  TextIntegerRegime regime;
  BencEntity entity;
  ASSERT_TRUE(BencParseTokens(tokens, regime, entity));
  EXPECT_EQ(Encode(entity), "l2:122:abe");
}
}  // namespace
