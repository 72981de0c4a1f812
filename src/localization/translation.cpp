#include "localization/translation.h"

#include <string>

#include "localization/textfile.h"
#include "localization/texttable.h"

size_t FindUnmatchedEntry(const TextTable& table, const std::vector<bool>& matched, std::wstring_view line) {
  if (line.empty()) return table.Count();
  for (size_t index = 0; index < table.Count(); ++index) {
    if (!matched[index] && table.English(index) == line) return index;
  }
  return table.Count();
}

void MatchTranslation(TextTable& table, std::wstring_view translation, std::wstring_view english) {
  std::vector<bool> matched(table.Count(), false);
  LineReader translationLines(translation);
  LineReader englishLines(english);
  while (!translationLines.AtEnd() && !englishLines.AtEnd()) {
    std::wstring line(translationLines.Next());
    const std::wstring_view englishLine = englishLines.Next();
    // A line the decoder could not read keeps its entries English rather
    // than showing replacement characters.
    if (line.find(invalidCharacter) != std::wstring::npos) continue;
    SubstituteAppNames(line);
    for (size_t index = FindUnmatchedEntry(table, matched, englishLine); index < table.Count();
         index = FindUnmatchedEntry(table, matched, englishLine)) {
      matched[index] = true;
      table.SetCurrent(index, line);
    }
  }
}
