// The language pack in process: decoding and splitting the language files,
// matching a translation, the override file and its report, and the archive
// linked into this program (languages_test.rc).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "localization/languagearchive.h"
#include "localization/languagelist.h"
#include "localization/languagepack.h"
#include "localization/overridefile.h"
#include "localization/resourcedata.h"
#include "localization/textfile.h"
#include "localization/texttable.h"
#include "localization/translation.h"
#include "support/testfiles.h"

using namespace std::string_view_literals;

TEST(TextFile, DecodesUtf8AndMarksEachInvalidSequence) {
  for (const auto& [bytes, text] :
       {std::pair{"\xEF\xBB\xBFMit"sv, L"Mit"sv}, {"Ger\xC3\xA4t"sv, L"Ger\u00E4t"sv},
        {"\xE5\x85\xB1\xE4\xBA\xAB"sv, L"\u5171\u4EAB"sv}, {"\xF0\x9F\x98\x80"sv, L"\xD83D\xDE00"sv},
        {"a\xFF" "b"sv, L"a\xFFFD" L"b"sv}, {"\xC0\x80"sv, L"\xFFFD\xFFFD"sv},  // overlong
        {"\xED\xA0\x80"sv, L"\xFFFD\xFFFD\xFFFD"sv},                              // encoded surrogate
        {"x\xE4\xBA"sv, L"x\xFFFD"sv}, {"\xE4\xBA" "A"sv, L"\xFFFD" L"A"sv},       // cut sequences
        {"ab\0cd"sv, L"ab"sv}, {"\xEF\xBB"sv, L"\xFFFD"sv}})
    EXPECT_EQ(DecodeTextFile(bytes), text) << testing::PrintToString(std::string(bytes));
  EXPECT_EQ(EncodeUtf8(L"a\xD800" L"b"), "a\xEF\xBF\xBD" "b");
}

TEST(TextFile, LinesSkipBlanksAndCrLfAndDropOneTrailingStar) {
  for (const auto& [text, expected] : {
           std::pair{L"a\r\nb\n\n\r\nc"sv, std::vector<std::wstring>{L"a", L"b", L"c"}},
           {L"\n\nfirst\n"sv, {L"first"}},
           {L"Version *\nStar**\n*\nx\\n"sv, {L"Version ", L"Star*", L"", L"x\\n"}},
           {L"one\0two"sv, {L"one"}}, {L""sv, {}}, {L"\r\n\r\n"sv, {}}}) {
    LineReader reader(text);
    std::vector<std::wstring> lines;
    while (!reader.AtEnd() && lines.size() < 10) lines.emplace_back(reader.Next());
    EXPECT_EQ(lines, expected);
    EXPECT_TRUE(reader.Next().empty());
  }
}

TEST(TextTable, FillsInTheApplicationNamesOnce) {
  for (const auto& [before, after] : {std::pair{L"%APPSHORTNAME% folders of %APPNAME%", L"Sync folders of Tamvera Sync"},
                                      {L"%APPNAME%%APPNAME%", L"Tamvera SyncTamvera Sync"},
                                      {L"%APP%APPNAME%NAME%", L"%APPTamvera SyncNAME%"},  // not scanned again
                                      {L"%APPNAME", L"%APPNAME"}}) {
    std::wstring text = before;
    SubstituteAppNames(text);
    EXPECT_EQ(text, after);
  }
}

TEST(TextTable, BuiltInTableHoldsTheShownTextsAtTheirIndices) {
  const std::unique_ptr<TextTable> table = CreateBuiltInTable();
  ASSERT_EQ(table->Count(), textCount);
  const std::pair<size_t, const wchar_t*> shown[] = {
      {0, L"B"}, {1, L"EB"}, {2, L"GB"}, {3, L"kB"}, {4, L"MB"}, {5, L"PB"}, {6, L"TB"},
      {258, L"Cancel receiving"}, {259, L"Remove from all devices"}, {260, L"Remove from this device"},
      {261, L"Share with %APPNAME%"}, {262, L"Sync to this device"}};
  for (const auto& [index, english] : shown) EXPECT_EQ(table->English(index), english) << index;
  // Before any load GetText answers English; beyond the table, nothing.
  EXPECT_STREQ(GetText(261), L"Share with Tamvera Sync");
  EXPECT_STREQ(GetText(textCount), L"");
}

// Two entries share "Cancel"; one has two parts, one a line break.
constexpr std::string_view matchBlock =
    "Cancel\0Share with %APPNAME%\0Version \0Cancel\0Daily\x01Weekly\0Line\nbreak\0Star*\0\0Last\0"sv;

TEST(Translation, LineNTranslatesTheEntriesOfEnglishLineN) {
  const struct {
    const char* name;
    std::wstring_view english, translation;
    std::map<size_t, std::wstring> changed;  // the rest stays English
  } rows[] = {
      {"BothCancelEntriesTakeTheFirstLine", L"Cancel\nShare with %APPNAME%\nCancel\n",
       L"Abbrechen\nMit %APPNAME% teilen\nStornieren\n",
       {{0, L"Abbrechen"}, {1, L"Mit Tamvera Sync teilen"}, {3, L"Abbrechen"}}},
      {"StarsBlankLinesAndCrLf", L"Version *\r\nStar**\r\n", L"Versi\u00F3n *\r\n\r\nStern**\r\n",
       {{2, L"Versi\u00F3n "}, {6, L"Stern*"}}},
      {"ShortTranslationAndSurplusLines", L"Last\nCancel\n", L"Letzte\n", {{8, L"Letzte"}}},
      {"SeveralPartsAndLineBreaksNeverMatch", L"Daily\nDaily\x01Weekly\nLine\\nbreak\nLine\nLast\nMore\n",
       L"T\u00E4glich\nX\nY\nZeile\nLetzte\nMehr\nNoch mehr\n", {{8, L"Letzte"}}},
      {"UndecodableLineStaysEnglish", L"Cancel\nLast\n", L"Abbr\xFFFD" L"chen\nLetzte\n", {{8, L"Letzte"}}},
      {"EmptyLinesMatchNoEmptyEntry", L"*\nLast\n", L"Leer\nLetzte\n", {{8, L"Letzte"}}}};
  for (const auto& row : rows) {
    TextTable table(matchBlock, 9), english(matchBlock, 9);
    table.ResetTexts(), english.ResetTexts();
    MatchTranslation(table, row.translation, row.english);
    for (size_t index = 0; index < 9; ++index)
      EXPECT_EQ(table.Current(index), row.changed.contains(index) ? row.changed.at(index) : english.Current(index))
          << row.name << " entry " << index;
  }
}

constexpr std::string_view overrideBlock =
    "Cancel receiving\0Cancel\0Share with %APPNAME%\0Version \0Daily\x01Weekly\0Line\nbreak\0\0Tab\t\0"sv;
constexpr std::string_view unknownHeader = "*******\r\nList of unknown strings in the language file:\r\n*******\r\n";
constexpr std::string_view missingHeader = "*******\r\nList of strings not found in the language file:\r\n*******\r\n";

TEST(OverrideFile, AppliesPairsAndReportsUnknownKeysAndUntranslatedEntries) {
  TextTable table(overrideBlock, 8);
  table.ResetTexts();
  OverrideReport::HeaderState headers;
  OverrideReport report(headers);
  ApplyOverrideText(table,
                    L"Cancel receiving\r\n?\r\n\r\nNo such text\r\nWhatever\r\nCancel\r\nAbbrechen %APPNAME%\r\n"
                    L"Cancel\r\nZweites Abbrechen\r\nShare with %APPNAME%*\r\n?*\r\n",
                    report);
  // "?" keeps an entry; values are taken as written, placeholders included.
  EXPECT_EQ(std::tuple(table.Current(0), table.Current(1), table.Current(2)),
            std::tuple(L"Cancel receiving", L"Abbrechen %APPNAME%", L"Share with Tamvera Sync"));
  // The second "Cancel" key finds no free entry of that text.
  EXPECT_EQ(report.Bytes(), std::string(unknownHeader) + "No such text\r\nCancel\r\n\r\n\r\n" +
                                std::string(missingHeader) +
                                "Cancel receiving\r\nVersion *\r\nDaily||Weekly\r\nLine\\nbreak\r\nTab\t*\r\n");

  // A later report of the process separates its first header too.
  TextTable second(overrideBlock, 1);
  second.ResetTexts();
  OverrideReport next(headers);
  ApplyOverrideText(second, L"Unknown\nvalue\n", next);
  EXPECT_EQ(next.Bytes(), "\r\n\r\n" + std::string(unknownHeader) + "Unknown\r\n\r\n\r\n" + std::string(missingHeader) +
                              "Cancel receiving\r\n");
}

TEST(OverrideFile, ReportWritesEveryUnitAsOneByteAndMarksInvisibleEnds) {
  OverrideReport::HeaderState headers{static_cast<int>(OverrideReport::Section::UnknownStrings)};
  OverrideReport report(headers);
  for (std::wstring_view text : {L""sv, L"\r\n"sv, L"a\0"sv, L"\u00E9\u4E2D"sv, L"x \r"sv})
    report.Add(OverrideReport::Section::UnknownStrings, text);
  EXPECT_EQ(report.Bytes(), "*\r\n\\r\\n*\r\na||\r\n\xE9-\r\nx \\r*\r\n");
}

namespace {

std::vector<std::wstring> Lines(const std::string& bytes) {
  const std::wstring text = DecodeTextFile(bytes);
  std::vector<std::wstring> lines;
  for (LineReader reader(text); !reader.AtEnd();) lines.emplace_back(reader.Next());
  return lines;
}

std::unique_ptr<TextTable> Load(const char* code, HMODULE module = ResourceData::ModuleOfThisCode(),
                                const std::wstring& hostPath = {}) {
  std::unique_ptr<TextTable> table = CreateBuiltInTable();
  OverrideReport::HeaderState headers;
  LoadLanguage(*table, PackLanguageCode(code), {std::make_shared<ResourceData>(module), hostPath}, headers);
  return table;
}

}  // namespace

TEST(LanguageArchive, HoldsEnglishAndTenTranslationsLineForLine) {
  LanguageArchive archive(std::make_shared<ResourceData>());
  ASSERT_EQ(archive.Status(), 0);
  ASSERT_EQ(archive.EntryNames().size(), 11u);
  const std::vector<std::wstring> english = Lines(archive.ReadEntry(L"/english.txt").bytes);
  // Every English line is a text of the table, so every line can match.
  const std::unique_ptr<TextTable> table = CreateBuiltInTable();
  for (const std::wstring& line : english) {
    size_t index = 0;
    while (index < table->Count() && table->English(index) != line) ++index;
    EXPECT_LT(index, table->Count()) << EncodeUtf8(line);
  }
  for (const std::wstring& name : archive.EntryNames()) {
    const LanguageArchive::Entry entry = archive.ReadEntry(name);
    ASSERT_TRUE(entry.Ok()) << EncodeUtf8(name);
    // UTF-8 without a byte-order mark, LF only, every line ended.
    EXPECT_FALSE(entry.bytes.starts_with("\xEF\xBB\xBF") || entry.bytes.find('\r') != std::string::npos);
    EXPECT_EQ(std::count(entry.bytes.begin(), entry.bytes.end(), '\n'), static_cast<long>(english.size()));
    const std::vector<std::wstring> lines = Lines(entry.bytes);
    ASSERT_EQ(lines.size(), english.size()) << EncodeUtf8(name);
    for (size_t n = 0; n < lines.size(); ++n) {
      EXPECT_EQ(lines[n].find(invalidCharacter), std::wstring::npos) << EncodeUtf8(name) << ":" << n + 1;
      EXPECT_EQ(lines[n].find(L"%APPNAME%") == std::wstring::npos, english[n].find(L"%APPNAME%") == std::wstring::npos)
          << EncodeUtf8(name) << ":" << n + 1;
    }
  }
}

TEST(LanguageArchive, ReportsAMissingEntryByStatusAndTrace) {
  std::vector<std::string> messages;
  LanguageArchive archive(std::make_shared<ResourceData>(), [&](const std::string& text) { messages.push_back(text); });
  EXPECT_EQ(archive.ReadEntry(L"Klingon!tlh.txt").status, LanguageArchive::EntryStatus::NotFound);
  EXPECT_EQ(messages, std::vector<std::string>{"ZIP: Can't locate [Klingon!tlh.txt] in zip, error -100."});
}

// Codes pack one byte per character, the first in the lowest byte; the full
// code wins over the language code, and English is what nothing matches.
TEST(LanguageList, ChoosesTheFullCodeThenTheLanguage) {
  EXPECT_EQ(PackLanguageCode("de"), 0x6564u);
  EXPECT_EQ(PackLanguageCode("zhCN\x01"), 0x4E43687Bu) << "the fifth byte lands on the first";
  const std::vector<LanguageEntry> languages = ListLanguages(
      {L"english.txt", L"German!de.txt", L"Portuguese (Brazil)!ptBR.txt", L"Portuguese!pt.txt", L"Broken!"});
  for (const auto& [language, country, entryName] :
       {std::tuple{"de", "AT", L"German!de.txt"}, {"pt", "BR", L"Portuguese (Brazil)!ptBR.txt"},
        {"pt", "PT", L"Portuguese!pt.txt"}, {"en", "US", L""}, {"zh", "TW", L""}, {"", "", L""}}) {
    const LanguageEntry* found = FindLanguage(languages, PackUserLanguageCodes(language, country));
    EXPECT_EQ(found ? found->entryName : L"", entryName) << language << "-" << country;
  }
}

TEST(LanguagePack, TranslatesFromTheArchiveByExactCode) {
  for (const auto& [code, share] : {std::pair{"zhCN", L"\u901A\u8FC7 Tamvera Sync \u5171\u4EAB"},
                                    {"deAT", L"Share with Tamvera Sync"}, {"de", L"Mit Tamvera Sync teilen"}})
    EXPECT_EQ(Load(code)->Current(261), share) << code;
  // Both "Cancel" entries take the first translation; a text with a line
  // break cannot be carried by a line file.
  const auto german = Load("de");
  EXPECT_EQ(std::tuple(german->Current(8), german->Current(14), german->Current(3)),
            std::tuple(L"Abbrechen", L"Abbrechen", L"kB"));
  EXPECT_EQ(german->Current(19), german->English(19));
}

TEST(LanguagePack, OverrideBesideTheHostAppliesAndReports) {
  TempFolder folder;
  const std::wstring host = folder / L"host.exe";
  Load("fr", ResourceData::ModuleOfThisCode(), host);
  EXPECT_EQ(GetFileAttributesW((host + L".log").c_str()), INVALID_FILE_ATTRIBUTES) << "no override, no report";
  ASSERT_TRUE(WriteBytes(host + L".lang.txt", "\xEF\xBB\xBFNot a text of ours\r\nvalue\r\n"
                                              "Sync to this device\r\nHierher holen\r\n"));
  // Without the archive the texts stay English and the override still applies.
  EXPECT_EQ(Load("de", GetModuleHandleW(L"kernel32.dll"), host)->Current(262), L"Hierher holen");
  EXPECT_TRUE(ReadBytes(host + L".log").starts_with(std::string(unknownHeader) + "Not a text of ours\r\n\r\n\r\n" +
                                                    std::string(missingHeader) + "B\r\n"));
}
