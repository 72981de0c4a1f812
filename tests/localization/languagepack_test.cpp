#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "localization/languagelist.h"
#include "localization/languagepack.h"
#include "localization/resourcedata.h"
#include "localization/texttable.h"
#include "support/testfiles.h"

namespace {

std::unique_ptr<TextTable> Load(uint32_t code, std::shared_ptr<DataContainer> archive, const std::wstring& hostPath = {}) {
  std::unique_ptr<TextTable> table = CreateBuiltInTable();
  OverrideReport::HeaderState headers;
  LoadLanguage(*table, code, {std::move(archive), hostPath}, headers);
  return table;
}

struct LoadCase {
  const char* code;
  const wchar_t* share;
  const wchar_t* kilobytes;
};

class LoadLanguageTest : public testing::TestWithParam<LoadCase> {};

}  // namespace

TEST_P(LoadLanguageTest, TranslatesFromTheBuiltInArchive) {
  const auto table = Load(PackLanguageCode(GetParam().code), std::make_shared<ResourceData>());
  EXPECT_EQ(table->Current(261), GetParam().share);
  EXPECT_EQ(table->Current(3), GetParam().kilobytes);
}

INSTANTIATE_TEST_SUITE_P(Codes, LoadLanguageTest,
                         testing::Values(LoadCase{"de", L"Mit Tamvera Sync teilen", L"kB"},
                                         LoadCase{"ptBR", L"Compartilhar com Tamvera Sync", L"KB"},
                                         LoadCase{"zhCN", L"\u901A\u8FC7 Tamvera Sync \u5171\u4EAB", L"KB"},
                                         LoadCase{"pt", L"Share with Tamvera Sync", L"kB"},
                                         LoadCase{"deAT", L"Share with Tamvera Sync", L"kB"}));

TEST(LanguagePack, BothCancelEntriesTakeTheFirstTranslation) {
  const auto table = Load(PackLanguageCode("de"), std::make_shared<ResourceData>());
  EXPECT_EQ(table->Current(8), L"Abbrechen");
  EXPECT_EQ(table->Current(14), L"Abbrechen");
  // A text with a line break cannot be carried by a line file.
  EXPECT_EQ(table->Current(19), table->English(19));
}

TEST(LanguagePack, OverrideBesideTheHostAppliesAndReports) {
  TempFolder folder;
  const std::wstring host = folder / L"host.exe";
  ASSERT_TRUE(WriteBytes(host + L".lang.txt",
                         "\xEF\xBB\xBF" "Cancel receiving\r\n?\r\nNot a text of ours\r\nvalue\r\n"
                         "Sync to this device\r\nHierher holen\r\n"));
  // Without the archive the texts stay English and the override still applies.
  const auto table = Load(PackLanguageCode("de"), std::make_shared<ResourceData>(GetModuleHandleW(L"kernel32.dll")), host);
  EXPECT_EQ(table->Current(258), L"Cancel receiving");
  EXPECT_EQ(table->Current(262), L"Hierher holen");
  const std::string report = ReadBytes(host + L".log");
  EXPECT_TRUE(report.starts_with("*******\r\nList of unknown strings in the language file:\r\n*******\r\n"
                                 "Not a text of ours\r\n\r\n\r\n"
                                 "*******\r\nList of strings not found in the language file:\r\n*******\r\nB\r\n"))
      << report;
  EXPECT_NE(report.find("\r\nVersion *\r\n"), std::string::npos);
  EXPECT_NE(report.find("\r\nCancel receiving\r\n"), std::string::npos);
  EXPECT_EQ(report.find("Sync to this device"), std::string::npos);
  EXPECT_EQ(report.find("Share with"), std::string::npos);
}

struct HostileOverride {
  const char* name;
  std::string content;
};

void PrintTo(const HostileOverride& value, std::ostream* os) { *os << value.name; }

class HostileOverrideTest : public testing::TestWithParam<HostileOverride> {};

TEST_P(HostileOverrideTest, LeavesTheTranslationUsable) {
  TempFolder folder;
  const std::wstring host = folder / L"host.exe";
  ASSERT_TRUE(WriteBytes(host + L".lang.txt", GetParam().content));
  const auto table = Load(PackLanguageCode("de"), std::make_shared<ResourceData>(), host);
  EXPECT_EQ(table->Current(261), L"Mit Tamvera Sync teilen");
}

std::string Junk(size_t size) {
  std::string junk(size, '\0');
  uint32_t state = 12345;
  for (char& c : junk) c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
  return junk;
}

INSTANTIATE_TEST_SUITE_P(
    Files, HostileOverrideTest,
    testing::Values(HostileOverride{"BinaryJunk", Junk(200000)},
                    HostileOverride{"Enormous", std::string(3u << 20, 'a')},
                    HostileOverride{"InvalidUtf8Value", "Share with %APPNAME%\n\xFF\xFE\n"},
                    HostileOverride{"KeyWithoutValueOrLineEnd", "Share with %APPNAME%"}),
    [](const testing::TestParamInfo<HostileOverride>& info) { return std::string(info.param.name); });

TEST(LanguagePack, NoOverrideFileMeansNoReport) {
  TempFolder folder;
  const std::wstring host = folder / L"host.exe";
  Load(PackLanguageCode("fr"), std::make_shared<ResourceData>(), host);
  EXPECT_EQ(GetFileAttributesW((host + L".log").c_str()), INVALID_FILE_ATTRIBUTES);
}
