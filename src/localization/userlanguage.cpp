#include "localization/userlanguage.h"

#include <windows.h>

#include <vector>

#include "localization/textfile.h"

namespace {

std::string LocaleItem(const wchar_t* localeName, LCTYPE item) {
  wchar_t buffer[31] = {};
  if (GetLocaleInfoEx(localeName, item, buffer, static_cast<int>(std::size(buffer))) <= 0) return {};
  buffer[std::size(buffer) - 1] = L'\0';
  return EncodeUtf8(buffer);
}

std::wstring FirstPreferredUiLanguage() {
  ULONG count = 0;
  ULONG size = 0;
  if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) || size == 0) return {};
  // The list can change between the two calls; the second call then fails.
  std::vector<wchar_t> names(size + 2, L'\0');
  if (!GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, names.data(), &size) || count == 0) return {};
  return names.data();
}

}  // namespace

UserLanguageCodes DetermineUserLanguage() {
  const std::wstring name = FirstPreferredUiLanguage();
  if (name.empty()) return {};
  return PackUserLanguageCodes(LocaleItem(name.c_str(), LOCALE_SISO639LANGNAME),
                               LocaleItem(name.c_str(), LOCALE_SISO3166CTRYNAME));
}
