// Values nested a million levels deep: no operation may use stack in
// proportion to the depth.
#include <gtest/gtest.h>

#include <string>

#include "channel/bencencode.h"
#include "channel/bencparser.h"
#include "channel/bencrender.h"

namespace {
constexpr size_t depth = 1000000;

const char* ParseAll(const std::string& input, BencEntity& entity) {
  return BencParse(input.data(), input.data() + input.size(), entity);
}

TEST(BencDeep, NestedListsParseEncodeRenderAndDestroy) {
  const std::string input = std::string(depth, 'l') + std::string(depth, 'e');
  {
    BencEntity entity;
    ASSERT_NE(ParseAll(input, entity), nullptr);
    ByteBuffer encoded = BencEncode(entity);
    EXPECT_TRUE(encoded.View() == input);
    ByteBuffer rendering;
    RenderJson(rendering, entity, JsonStringMode::Escaped);
    EXPECT_EQ(rendering.Size(), 4 * depth);
    BencEntity moved(std::move(entity));
    EXPECT_EQ(moved.Kind(), BencKind::List);
  }
}

TEST(BencDeep, NestedDictionariesParseEncodeAndDestroy) {
  std::string input;
  input.reserve(5 * depth + 2);
  for (size_t i = 0; i < depth; ++i) input += "d1:a";
  input += "le";
  input.append(depth, 'e');
  BencEntity entity;
  ASSERT_NE(ParseAll(input, entity), nullptr);
  EXPECT_TRUE(BencEncode(entity).View() == input);
  entity.Clear();
  EXPECT_EQ(entity.Kind(), BencKind::None);
}

TEST(BencDeep, UnterminatedNestingFailsAndLeavesNothing) {
  for (const std::string& input : {std::string(depth, 'l'), std::string(depth, 'l') + "x"}) {
    BencEntity entity;
    EXPECT_EQ(ParseAll(input, entity), nullptr);
    EXPECT_EQ(entity.Kind(), BencKind::None);
  }
}

TEST(BencDeep, ValuesBuiltByAppendDestroyWithoutRecursion) {
  BencEntity root;
  root.SetList();
  BencEntity* inner = &root;
  for (size_t i = 0; i < depth; ++i) {
    BencEntity list;
    list.SetList();
    inner = inner->Append(std::move(list));
    ASSERT_NE(inner, nullptr);
  }
  BencEntity other;
  other = std::move(root);
  other.SetInt(1);
  EXPECT_EQ(other.GetInt(), 1);
}
}  // namespace
