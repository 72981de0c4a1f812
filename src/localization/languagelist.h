#pragma once
// The languages the archive offers, found from its entry names
// ("German!de.txt"), and the choice among them.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// A code such as de, ptBR or zhCN packed one byte per character, the first
// character in the lowest byte (de is 0x6564). English is 0.
inline constexpr uint32_t englishCode = 0;
// The code of an entry whose name gives none; no user code equals it.
inline constexpr uint32_t noLanguageCode = 0xFFFFFFFF;

struct LanguageEntry {
  std::string name;        // display name, at most 31 bytes
  uint32_t code = 0;
  std::wstring entryName;  // empty for English
};

inline constexpr size_t languageNameLimit = 31;

// The k-th byte is shifted left by 8*k bits (modulo 32) and added.
uint32_t PackLanguageCode(std::string_view code);

// English first, then every entry name holding "!", sorted by name as
// unsigned bytes (ties keep archive order).
std::vector<LanguageEntry> ListLanguages(const std::vector<std::wstring>& entryNames);

// The user's codes from the ISO language and country names: the full code
// packs two bytes of each (deAT), the language code two of the language (de);
// missing bytes count as 0.
struct UserLanguageCodes {
  uint32_t full = 0;
  uint32_t language = 0;
};
UserLanguageCodes PackUserLanguageCodes(std::string_view language, std::string_view country);

// The first entry, in list order, with the full code; failing that, the first
// with the language code; nullptr when neither is listed.
const LanguageEntry* FindLanguage(const std::vector<LanguageEntry>& languages, const UserLanguageCodes& codes);
