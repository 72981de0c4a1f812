#pragma once
// Matching a translation to the table: line n of the translation translates
// line n of the English file, and the English line is found in the table by
// its exact text.
#include <string_view>
#include <vector>

class TextTable;

// Gives every entry whose English text equals line n of english the n-th
// line of translation (application names filled in). Entries with the same
// English text all take the first line that carries it; lines beyond the
// shorter file are ignored.
void MatchTranslation(TextTable& table, std::wstring_view translation, std::wstring_view english);

// First entry not yet matched whose whole English text equals line; an empty
// line matches nothing, since empty entries are texts the module lacks.
// Returns table.Count() when there is none.
size_t FindUnmatchedEntry(const TextTable& table, const std::vector<bool>& matched, std::wstring_view line);
