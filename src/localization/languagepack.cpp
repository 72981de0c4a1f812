#include "localization/languagepack.h"

#include <windows.h>

#include "localization/languagearchive.h"
#include "localization/languagelist.h"
#include "localization/resourcedata.h"
#include "localization/textfile.h"
#include "localization/texttable.h"
#include "localization/translation.h"
#include "localization/userlanguage.h"
#include "util/safefile.h"
#include "util/sizeunits.h"

namespace {

constexpr wchar_t englishEntryName[] = L"english.txt";
constexpr wchar_t overrideSuffix[] = L".lang.txt";
constexpr wchar_t reportSuffix[] = L".log";

INIT_ONCE textsLoaded = INIT_ONCE_STATIC_INIT;
OverrideReport::HeaderState processReportHeaders;

std::wstring HostProgramPath() {
  // A path cut short would name some other file; retry at the longest
  // length a path can have.
  std::wstring path;
  for (const DWORD capacity : {DWORD{MAX_PATH}, DWORD{32768}}) {
    path.assign(capacity, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), capacity);
    if (length == 0) return {};
    if (length < capacity) {
      path.resize(length);
      return path;
    }
  }
  return {};
}

std::wstring ReadTextEntry(LanguageArchive& archive, const std::wstring& name) {
  const LanguageArchive::Entry entry = archive.ReadEntry(name);
  if (!entry.Ok()) return {};
  return DecodeTextFile(entry.bytes);
}

BOOL CALLBACK LoadTexts(PINIT_ONCE, PVOID, PVOID*) {
  // Nothing may escape into the host; on failure GetText stays English.
  try {
    std::unique_ptr<TextTable> table = CreateBuiltInTable();
    LoadLanguage(*table, automaticLanguage, DefaultLanguageSources(), processReportHeaders);
    const wchar_t* unitNames[7];
    for (size_t index = 0; index < 7; ++index) unitNames[index] = table->Current(index).c_str();
    SetSizeUnitNames(unitNames);
    PublishTextTable(std::move(table));
  } catch (...) {
  }
  return TRUE;
}

}  // namespace

void LoadTextsOnce() { InitOnceExecuteOnce(&textsLoaded, LoadTexts, nullptr, nullptr); }

LanguageSources DefaultLanguageSources() {
  return {std::make_shared<ResourceData>(), HostProgramPath()};
}

bool ApplyTranslation(TextTable& table, LanguageArchive& archive, const LanguageEntry& language) {
  const std::wstring translation = ReadTextEntry(archive, language.entryName);
  if (translation.empty()) return false;
  const std::wstring english = ReadTextEntry(archive, englishEntryName);
  if (english.empty()) return false;
  MatchTranslation(table, translation, english);
  return true;
}

void LoadLanguage(TextTable& table, uint32_t requestedCode, const LanguageSources& sources,
                  OverrideReport::HeaderState& reportHeaders) {
  const UserLanguageCodes codes =
      (requestedCode & 0x80000000u) ? DetermineUserLanguage() : UserLanguageCodes{requestedCode, requestedCode};
  if (sources.archive) {
    LanguageArchive archive(sources.archive);
    const std::vector<LanguageEntry> languages = ListLanguages(archive.EntryNames());
    const LanguageEntry* language = FindLanguage(languages, codes);
    if (language && !language->entryName.empty()) {
      ApplyTranslation(table, archive, *language);
    } else {
      table.ResetTexts();
    }
  } else {
    table.ResetTexts();
  }
  if (sources.archive) sources.archive->Release();
  if (!sources.hostPath.empty()) ApplyLanguageOverride(table, sources.hostPath, reportHeaders);
}

void ApplyLanguageOverride(TextTable& table, const std::wstring& hostPath, OverrideReport::HeaderState& reportHeaders) {
  const std::wstring overridePath = hostPath + overrideSuffix;
  WIN32_FILE_ATTRIBUTE_DATA attributes{};
  if (!GetFileAttributesExW(overridePath.c_str(), GetFileExInfoStandard, &attributes)) return;
  if (attributes.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) return;
  const uint64_t size = (static_cast<uint64_t>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
  if (size > overrideSizeLimit) return;

  const WholeFile file = ReadWholeFile(overridePath);
  if (!file.ok || !file.data) return;
  OverrideReport report(reportHeaders);
  ApplyOverrideText(table, DecodeTextFile(std::string_view(file.data.get(), file.size)), report);
  if (!report.Bytes().empty()) {
    WriteFileSafely(hostPath + reportSuffix, report.Bytes().data(), report.Bytes().size());
  }
}
