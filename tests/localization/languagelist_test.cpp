#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "localization/languagelist.h"

TEST(LanguageList, PacksCodesLowByteFirstAndWrapsLongOnes) {
  EXPECT_EQ(PackLanguageCode("de"), 0x6564u);
  EXPECT_EQ(PackLanguageCode("zhCN"), 0x4E43687Au);
  // The fifth byte lands on the first again and is added.
  EXPECT_EQ(PackLanguageCode("zhCN\x01"), 0x4E43687Bu);
  EXPECT_EQ(PackUserLanguageCodes("de", "AT").full, PackLanguageCode("deAT"));
  EXPECT_EQ(PackUserLanguageCodes("de", "AT").language, PackLanguageCode("de"));
  EXPECT_EQ(PackUserLanguageCodes("d", "").full, PackLanguageCode("d"));
}

TEST(LanguageList, ListsEnglishAndTheTranslationsSortedByName) {
  const std::vector<LanguageEntry> languages = ListLanguages(
      {L"english.txt", L"German!de.txt", L"Chinese (China)!zhCN.txt", L"\u00C9e!x.txt", L"Broken!",
       L"Empty!.txt", L"A name that is far longer than thirty-one bytes!fr.txt"});
  std::vector<std::string> names;
  for (const LanguageEntry& language : languages) names.push_back(language.name);
  EXPECT_EQ(names, (std::vector<std::string>{"A name that is far longer than ", "Broken", "Chinese (China)", "Empty",
                                             "English", "German", "\xC3\x89" "e"}));
  EXPECT_EQ(languages[1].code, noLanguageCode);
  EXPECT_EQ(languages[3].code, noLanguageCode);
  EXPECT_EQ(languages[4].code, englishCode);
  EXPECT_TRUE(languages[4].entryName.empty());
  EXPECT_EQ(languages[5].entryName, L"German!de.txt");
}

struct ChoiceCase {
  const char* language;
  const char* country;
  const wchar_t* entryName;  // nullptr: English, because nothing matched
};

class LanguageChoiceTest : public testing::TestWithParam<ChoiceCase> {};

TEST_P(LanguageChoiceTest, PrefersTheFullCodeThenTheLanguage) {
  const std::vector<LanguageEntry> languages =
      ListLanguages({L"english.txt", L"German!de.txt", L"Portuguese (Brazil)!ptBR.txt", L"Chinese (China)!zhCN.txt"});
  const LanguageEntry* found = FindLanguage(languages, PackUserLanguageCodes(GetParam().language, GetParam().country));
  if (GetParam().entryName) {
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(found->entryName, GetParam().entryName);
  } else {
    EXPECT_TRUE(found == nullptr || found->entryName.empty());
  }
}

INSTANTIATE_TEST_SUITE_P(Users, LanguageChoiceTest,
                         testing::Values(ChoiceCase{"de", "AT", L"German!de.txt"},
                                         ChoiceCase{"pt", "BR", L"Portuguese (Brazil)!ptBR.txt"},
                                         ChoiceCase{"pt", "PT", nullptr}, ChoiceCase{"en", "US", nullptr},
                                         ChoiceCase{"zh", "CN", L"Chinese (China)!zhCN.txt"},
                                         ChoiceCase{"zh", "TW", nullptr}, ChoiceCase{"", "", nullptr}));
