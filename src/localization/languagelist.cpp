#include "localization/languagelist.h"

#include <algorithm>

#include "localization/textfile.h"

uint32_t PackLanguageCode(std::string_view code) {
  uint32_t packed = 0;
  for (size_t k = 0; k < code.size(); ++k) {
    packed += static_cast<uint32_t>(static_cast<unsigned char>(code[k])) << ((8 * k) % 32);
  }
  return packed;
}

std::vector<LanguageEntry> ListLanguages(const std::vector<std::wstring>& entryNames) {
  std::vector<LanguageEntry> languages;
  languages.push_back({"English", englishCode, {}});
  for (const std::wstring& entryName : entryNames) {
    const std::string utf8 = EncodeUtf8(entryName);
    const size_t bang = utf8.find('!');
    if (bang == std::string::npos) continue;
    LanguageEntry entry;
    entry.name = utf8.substr(0, std::min(bang, languageNameLimit));
    const std::string_view rest = std::string_view(utf8).substr(bang + 1);
    const std::string_view code = rest.substr(0, rest.find('.'));
    // An empty code would pack to 0, English's code; it names no language.
    entry.code = code.empty() ? noLanguageCode : PackLanguageCode(code);
    entry.entryName = entryName;
    languages.push_back(std::move(entry));
  }
  std::stable_sort(languages.begin(), languages.end(), [](const LanguageEntry& a, const LanguageEntry& b) {
    return std::lexicographical_compare(a.name.begin(), a.name.end(), b.name.begin(), b.name.end(),
                                        [](char x, char y) {
                                          return static_cast<unsigned char>(x) < static_cast<unsigned char>(y);
                                        });
  });
  return languages;
}

UserLanguageCodes PackUserLanguageCodes(std::string_view language, std::string_view country) {
  auto byteAt = [](std::string_view text, size_t index) -> uint32_t {
    return index < text.size() ? static_cast<unsigned char>(text[index]) : 0;
  };
  UserLanguageCodes codes;
  codes.language = byteAt(language, 0) | byteAt(language, 1) << 8;
  codes.full = codes.language | byteAt(country, 0) << 16 | byteAt(country, 1) << 24;
  return codes;
}

const LanguageEntry* FindLanguage(const std::vector<LanguageEntry>& languages, const UserLanguageCodes& codes) {
  for (uint32_t code : {codes.full, codes.language}) {
    for (const LanguageEntry& entry : languages) {
      if (entry.code == code) return &entry;
    }
  }
  return nullptr;
}
