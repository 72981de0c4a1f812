#include "localization/overridefile.h"

#include <vector>

#include "localization/textfile.h"
#include "localization/texttable.h"
#include "localization/translation.h"

namespace {

constexpr std::string_view sectionSeparator = "\r\n\r\n";

std::string_view SectionHeader(OverrideReport::Section section) {
  switch (section) {
    case OverrideReport::Section::UnknownStrings:
      return "*******\r\nList of unknown strings in the language file:\r\n*******\r\n";
    case OverrideReport::Section::MissingStrings:
      return "*******\r\nList of strings not found in the language file:\r\n*******\r\n";
  }
  return {};
}

}  // namespace

void OverrideReport::Add(Section section, std::wstring_view text) {
  if (headers.lastSection != static_cast<int>(section)) {
    if (headers.lastSection != -1) bytes += sectionSeparator;
    bytes += SectionHeader(section);
    headers.lastSection = static_cast<int>(section);
  }
  wchar_t lastVisible = L'\0';
  for (wchar_t unit : text) {
    switch (unit) {
      case L'\0':
        bytes += "||";
        break;
      case L'\r':
        bytes += "\\r";
        break;
      case L'\n':
        bytes += "\\n";
        break;
      default:
        bytes += static_cast<char>(unit & 0xFF);
        lastVisible = unit;
        break;
    }
  }
  // Trailing blanks would vanish in an editor; the "*" keeps them, as it
  // does in the language files.
  if (lastVisible == L'\0' || lastVisible == L' ' || lastVisible == L'\t') bytes += '*';
  bytes += "\r\n";
}

void ApplyOverrideText(TextTable& table, std::wstring_view text, OverrideReport& report) {
  std::vector<bool> matched(table.Count(), false);
  LineReader lines(text);
  bool expectKey = true;
  size_t remembered = table.Count();
  while (!lines.AtEnd()) {
    const std::wstring_view line = lines.Next();
    if (expectKey) {
      remembered = FindUnmatchedEntry(table, matched, line);
      if (remembered < table.Count()) {
        matched[remembered] = true;
      } else {
        report.Add(OverrideReport::Section::UnknownStrings, line);
      }
    } else if (remembered < table.Count() && line != L"?" &&
               line.find(invalidCharacter) == std::wstring_view::npos) {
      table.SetCurrent(remembered, std::wstring(line));
    }
    expectKey = !expectKey;
  }

  for (size_t index = 0; index < table.Count(); ++index) {
    const std::wstring_view english = table.English(index);
    if (english.empty()) continue;
    const std::wstring& current = table.Current(index);
    if (std::wstring_view(current).substr(0, current.find(L'\0')) == table.EnglishFirstPart(index)) {
      report.Add(OverrideReport::Section::MissingStrings, english);
    }
  }
}
