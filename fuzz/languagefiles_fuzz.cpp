// The language-file readers over arbitrary bytes: decoding, line splitting,
// translation matching against the module's table, the override file with
// its report, and the language listing. The input holds a translation, an
// English file and an override file; the first two bytes say where to cut.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "localization/englishtexts.h"
#include "localization/languagelist.h"
#include "localization/overridefile.h"
#include "localization/textfile.h"
#include "localization/texttable.h"
#include "localization/translation.h"
#include "shim/fuzzcheck.h"

namespace {

// Decoded text is well-formed UTF-16 and survives a round trip.
std::wstring DecodeChecked(std::string_view bytes) {
  const std::wstring text = DecodeTextFile(bytes);
  for (size_t i = 0; i < text.size(); ++i) {
    const uint32_t unit = static_cast<uint32_t>(text[i]);
    Require(unit != 0 && unit <= 0xFFFF);
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      Require(i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF);
      ++i;
    } else {
      Require(unit < 0xDC00 || unit > 0xDFFF);
    }
  }
  // A leading U+FEFF would read as a byte-order mark, so put one in front.
  Require(DecodeTextFile("\xEF\xBB\xBF" + EncodeUtf8(text)) == text);
  return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);
  const size_t first = input.size() * data[0] / 255;
  const size_t second = first + (input.size() - first) * data[1] / 255;
  const std::wstring translation = DecodeChecked(input.substr(0, first));
  const std::wstring english = DecodeChecked(input.substr(first, second - first));
  const std::wstring override = DecodeChecked(input.substr(second));

  TextTable table(EnglishTextBlock(), textCount);
  table.ResetTexts();
  MatchTranslation(table, translation, english);
  OverrideReport::HeaderState headers;
  OverrideReport report(headers);
  ApplyOverrideText(table, override, report);
  // Lines never carry their breaks into a text.
  for (size_t index = 0; index < table.Count(); ++index) {
    const std::wstring& current = table.Current(index);
    Require(current.find_first_of(L"\r\n") == std::wstring::npos ||
          std::wstring_view(current) == table.EnglishFirstPart(index));
  }
  Require(report.Bytes().empty() || report.Bytes().ends_with("\r\n"));

  std::vector<std::wstring> names;
  for (LineReader lines(override); !lines.AtEnd() && names.size() < 64;) names.emplace_back(lines.Next());
  const std::vector<LanguageEntry> languages = ListLanguages(names);
  Require(!languages.empty());
  for (const LanguageEntry& language : languages) Require(language.name.size() <= languageNameLimit);
  const std::string codes = EncodeUtf8(translation.substr(0, 4));
  const LanguageEntry* found =
      FindLanguage(languages, PackUserLanguageCodes(std::string_view(codes).substr(0, 2),
                                                    std::string_view(codes).substr(std::min<size_t>(2, codes.size()))));
  Require(!found || (found >= languages.data() && found < languages.data() + languages.size()));
  return 0;
}
