#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "localization/texttable.h"

using namespace std::string_view_literals;

TEST(TextTable, SplitsTheBlockIntoEntriesAndParts) {
  // The last entry has no terminator and the block is one entry short.
  const std::string_view block = "B\0Two\x01Parts\0\0Caf\xE9"sv;
  TextTable table(block, 5);
  ASSERT_EQ(table.Count(), 5u);
  EXPECT_EQ(table.English(0), L"B");
  EXPECT_EQ(table.English(1), L"Two\0Parts"sv);
  EXPECT_EQ(table.EnglishFirstPart(1), L"Two");
  EXPECT_EQ(table.English(2), L"");
  EXPECT_EQ(table.English(3), L"Caf\u00E9");
  EXPECT_EQ(table.English(4), L"");

  table.ResetTexts();
  EXPECT_EQ(table.Current(1), L"Two");
  EXPECT_EQ(table.Current(3), L"Caf\u00E9");
}

class SubstituteAppNamesTest : public testing::TestWithParam<std::pair<const wchar_t*, const wchar_t*>> {};

TEST_P(SubstituteAppNamesTest, ReplacesEachPlaceholderOnce) {
  std::wstring text = GetParam().first;
  SubstituteAppNames(text);
  EXPECT_EQ(text, GetParam().second);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, SubstituteAppNamesTest,
    testing::Values(std::pair{L"Share with %APPNAME%", L"Share with Tamvera Sync"},
                    std::pair{L"%APPSHORTNAME% folders of %APPNAME%", L"Sync folders of Tamvera Sync"},
                    std::pair{L"%APPNAME%%APPNAME%", L"Tamvera SyncTamvera Sync"},
                    // Text put in is not scanned again.
                    std::pair{L"%APP%APPNAME%NAME%", L"%APPTamvera SyncNAME%"},
                    std::pair{L"%APPNAME", L"%APPNAME"}, std::pair{L"", L""}));

TEST(TextTable, BuiltInTableHoldsTheShownTextsAtTheirIndices) {
  const std::unique_ptr<TextTable> table = CreateBuiltInTable();
  ASSERT_EQ(table->Count(), textCount);
  const std::pair<size_t, const wchar_t*> shown[] = {
      {0, L"B"},   {1, L"EB"}, {2, L"GB"}, {3, L"kB"}, {4, L"MB"}, {5, L"PB"}, {6, L"TB"},
      {258, L"Cancel receiving"}, {259, L"Remove from all devices"}, {260, L"Remove from this device"},
      {261, L"Share with %APPNAME%"}, {262, L"Sync to this device"}};
  for (const auto& [index, english] : shown) EXPECT_EQ(table->English(index), english) << index;
  EXPECT_EQ(table->Current(261), L"Share with Tamvera Sync");
}

TEST(TextTable, GetTextAnswersEnglishBeforeAnyLoadAndEmptyBeyondTheTable) {
  EXPECT_STREQ(GetText(261), L"Share with Tamvera Sync");
  EXPECT_STREQ(GetText(textCount), L"");
  EXPECT_STREQ(GetText(static_cast<size_t>(-1)), L"");
}
