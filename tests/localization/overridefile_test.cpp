#include <gtest/gtest.h>

#include <string>

#include "localization/overridefile.h"
#include "localization/texttable.h"

using namespace std::string_view_literals;

namespace {

constexpr std::string_view block =
    "Cancel receiving\0Cancel\0Share with %APPNAME%\0Version \0Daily\x01Weekly\0Line\nbreak\0\0Tab\t\0"sv;
constexpr size_t blockEntries = 8;
constexpr std::string_view unknownHeader = "*******\r\nList of unknown strings in the language file:\r\n*******\r\n";
constexpr std::string_view missingHeader = "*******\r\nList of strings not found in the language file:\r\n*******\r\n";

}  // namespace

TEST(OverrideFile, AppliesPairsAndReportsUnknownKeysAndUntranslatedEntries) {
  TextTable table(block, blockEntries);
  table.ResetTexts();
  OverrideReport::HeaderState headers;
  OverrideReport report(headers);
  ApplyOverrideText(table,
                    L"Cancel receiving\r\n?\r\n\r\nNo such text\r\nWhatever\r\nCancel\r\nAbbrechen %APPNAME%\r\n"
                    L"Cancel\r\nZweites Abbrechen\r\nShare with %APPNAME%*\r\n?*\r\n",
                    report);

  EXPECT_EQ(table.Current(0), L"Cancel receiving");
  // Override values are taken as written, placeholders included.
  EXPECT_EQ(table.Current(1), L"Abbrechen %APPNAME%");
  EXPECT_EQ(table.Current(2), L"Share with Tamvera Sync");
  // The second "Cancel" key finds no free entry of that text.
  const std::string expected = std::string(unknownHeader) + "No such text\r\nCancel\r\n\r\n\r\n" +
                               std::string(missingHeader) +
                               "Cancel receiving\r\nVersion *\r\nDaily||Weekly\r\nLine\\nbreak\r\nTab\t*\r\n";
  EXPECT_EQ(report.Bytes(), expected);

  // A later report of the process separates its first header too.
  TextTable second(block, 1);
  second.ResetTexts();
  OverrideReport next(headers);
  ApplyOverrideText(second, L"Unknown\nvalue\n", next);
  EXPECT_EQ(next.Bytes(), "\r\n\r\n" + std::string(unknownHeader) + "Unknown\r\n\r\n\r\n" + std::string(missingHeader) +
                              "Cancel receiving\r\n");
}

TEST(OverrideFile, ReportWritesEveryUnitAsOneByteAndMarksInvisibleEnds) {
  OverrideReport::HeaderState headers;
  headers.lastSection = static_cast<int>(OverrideReport::Section::UnknownStrings);
  OverrideReport report(headers);
  for (std::wstring_view text : {L""sv, L"\r\n"sv, L"a\0"sv, L"\u00E9\u4E2D"sv, L"x \r"sv}) {
    report.Add(OverrideReport::Section::UnknownStrings, text);
  }
  EXPECT_EQ(report.Bytes(), "*\r\n\\r\\n*\r\na||\r\n\xE9-\r\nx \\r*\r\n");
}
