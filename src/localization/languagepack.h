#pragma once
// The once-per-process text load: English, then the user's language from
// the archive in the DLL, then the override file beside the host program.
#include <cstdint>
#include <memory>
#include <string>

#include "localization/overridefile.h"

class DataContainer;
class LanguageArchive;
class TextTable;
struct LanguageEntry;

// Safe to call from several threads; only the first call loads, and every
// call returns once the texts are complete.
void LoadTextsOnce();

// Any code with the top bit set asks for the user's own language.
inline constexpr uint32_t automaticLanguage = 0xFFFFFFFF;

// Where a load takes its texts from: the archive, and the host program's
// path that the override file and its report are named after.
struct LanguageSources {
  std::shared_ptr<DataContainer> archive;
  std::wstring hostPath;
};

// The archive resource of this module and the running program's path.
LanguageSources DefaultLanguageSources();

// Translates the table into the requested language (English when the archive
// has no such language), then applies the override file. The archive is
// released before the override is read.
void LoadLanguage(TextTable& table, uint32_t requestedCode, const LanguageSources& sources,
                  OverrideReport::HeaderState& reportHeaders);

// Matches the language's file against english.txt; returns false, changing
// nothing, when either cannot be read or is empty.
bool ApplyTranslation(TextTable& table, LanguageArchive& archive, const LanguageEntry& language);

// Applies hostPath + ".lang.txt" when it exists and writes what it does not
// match to hostPath + ".log".
void ApplyLanguageOverride(TextTable& table, const std::wstring& hostPath, OverrideReport::HeaderState& reportHeaders);

// Override files beyond this size are ignored: a real one holds a few
// hundred lines.
inline constexpr uint64_t overrideSizeLimit = 1u << 20;
