#include <gtest/gtest.h>

#include <string>

#include "localization/texttable.h"
#include "localization/translation.h"

using namespace std::string_view_literals;

namespace {

// Two entries share "Cancel"; one has two parts, one a line break.
constexpr std::string_view block =
    "Cancel\0Share with %APPNAME%\0Version \0Cancel\0Daily\x01Weekly\0Line\nbreak\0Star*\0\0Last\0"sv;
constexpr size_t blockEntries = 9;

struct MatchCase {
  const char* name;
  std::wstring_view english;
  std::wstring_view translation;
  std::wstring_view expected[blockEntries];
};

void PrintTo(const MatchCase& value, std::ostream* os) { *os << value.name; }

class MatchTranslationTest : public testing::TestWithParam<MatchCase> {};

}  // namespace

TEST_P(MatchTranslationTest, GivesLineNToTheEntriesOfEnglishLineN) {
  TextTable table(block, blockEntries);
  table.ResetTexts();
  MatchTranslation(table, GetParam().translation, GetParam().english);
  for (size_t index = 0; index < blockEntries; ++index) {
    EXPECT_EQ(table.Current(index), GetParam().expected[index]) << "entry " << index;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, MatchTranslationTest,
    testing::Values(
        MatchCase{"BothCancelEntriesTakeTheFirstLine",
                  L"Cancel\nShare with %APPNAME%\nCancel\n",
                  L"Abbrechen\nMit %APPNAME% teilen\nStornieren\n",
                  {L"Abbrechen", L"Mit Tamvera Sync teilen", L"Version ", L"Abbrechen", L"Daily", L"Line\nbreak", L"Star*", L"", L"Last"}},
        MatchCase{"StarsKeepTrailingBlanksAndLiteralStars",
                  L"Version *\r\nStar**\r\n",
                  L"Versi\u00F3n *\r\n\r\nStern**\r\n",
                  {L"Cancel", L"Share with Tamvera Sync", L"Versi\u00F3n ", L"Cancel", L"Daily", L"Line\nbreak", L"Stern*", L"", L"Last"}},
        MatchCase{"ShortTranslationLeavesTheRestEnglishAndSurplusIsIgnored",
                  L"Last\nCancel\n",
                  L"Letzte\n",
                  {L"Cancel", L"Share with Tamvera Sync", L"Version ", L"Cancel", L"Daily", L"Line\nbreak", L"Star*", L"", L"Letzte"}},
        MatchCase{"SeveralPartsAndLineBreaksNeverMatch",
                  L"Daily\nDaily\x01Weekly\nLine\\nbreak\nLine\nLast\nMore\n",
                  L"T\u00E4glich\nX\nY\nZeile\nLetzte\nMehr\nNoch mehr\n",
                  {L"Cancel", L"Share with Tamvera Sync", L"Version ", L"Cancel", L"Daily", L"Line\nbreak", L"Star*", L"", L"Letzte"}},
        MatchCase{"UndecodableLineStaysEnglishWithoutShiftingTheOthers",
                  L"Cancel\nLast\n",
                  L"Abbr\xFFFD" L"chen\nLetzte\n",
                  {L"Cancel", L"Share with Tamvera Sync", L"Version ", L"Cancel", L"Daily", L"Line\nbreak", L"Star*", L"", L"Letzte"}},
        MatchCase{"EmptyLinesMatchNoEmptyEntry",
                  L"*\nLast\n",
                  L"Leer\nLetzte\n",
                  {L"Cancel", L"Share with Tamvera Sync", L"Version ", L"Cancel", L"Daily", L"Line\nbreak", L"Star*", L"", L"Letzte"}}),
    [](const testing::TestParamInfo<MatchCase>& info) { return std::string(info.param.name); });
