#include "localization/texttable.h"

#include <algorithm>
#include <atomic>

#include "localization/englishtexts.h"

namespace {

constexpr std::wstring_view appNamePlaceholder = L"%APPNAME%";
constexpr std::wstring_view appName = L"Tamvera Sync";
constexpr std::wstring_view appShortNamePlaceholder = L"%APPSHORTNAME%";
constexpr std::wstring_view appShortName = L"Sync";

void ReplaceAll(std::wstring& text, std::wstring_view placeholder, std::wstring_view value) {
  size_t position = 0;
  while ((position = text.find(placeholder, position)) != std::wstring::npos) {
    text.replace(position, placeholder.size(), value);
    position += value.size();
  }
}

std::unique_ptr<TextTable> publishedOwner;
std::atomic<const TextTable*> publishedTable{nullptr};

const TextTable& EnglishTable() {
  static const std::unique_ptr<TextTable> table = CreateBuiltInTable();
  return *table;
}

}  // namespace

void SubstituteAppNames(std::wstring& text) {
  if (text.empty()) return;
  ReplaceAll(text, appNamePlaceholder, appName);
  ReplaceAll(text, appShortNamePlaceholder, appShortName);
}

TextTable::TextTable(std::string_view block, size_t count)
    : englishTexts(count), englishLengths(count), currentTexts(count) {
  // One terminator per entry beyond the block, so a short block still gives
  // every entry a place to point at.
  englishBuffer.reserve(block.size() + count);
  for (char c : block) {
    const wchar_t wide = static_cast<unsigned char>(c);
    englishBuffer.push_back(wide == 0x01 ? L'\0' : wide);
  }
  englishBuffer.append(count, L'\0');

  size_t position = 0;
  for (size_t index = 0; index < count; ++index) {
    const size_t start = position;
    while (position < block.size() && block[position] != '\0') ++position;
    englishTexts[index] = englishBuffer.data() + start;
    englishLengths[index] = static_cast<uint16_t>(std::min<size_t>(position - start, UINT16_MAX));
    if (position < block.size()) ++position;
  }
}

std::wstring_view TextTable::EnglishFirstPart(size_t index) const {
  const std::wstring_view text = English(index);
  return text.substr(0, text.find(L'\0'));
}

void TextTable::ResetTexts() {
  for (size_t index = 0; index < Count(); ++index) {
    currentTexts[index].assign(EnglishFirstPart(index));
    SubstituteAppNames(currentTexts[index]);
  }
}

std::unique_ptr<TextTable> CreateBuiltInTable() {
  auto table = std::make_unique<TextTable>(EnglishTextBlock(), textCount);
  table->ResetTexts();
  return table;
}

bool PublishTextTable(std::unique_ptr<TextTable> table) {
  if (!table) return false;
  const TextTable* expected = nullptr;
  if (!publishedTable.compare_exchange_strong(expected, table.get(), std::memory_order_acq_rel)) return false;
  publishedOwner = std::move(table);
  return true;
}

const wchar_t* GetText(size_t index) {
  const TextTable* table = publishedTable.load(std::memory_order_acquire);
  if (!table) table = &EnglishTable();
  if (index >= table->Count()) return L"";
  return table->Current(index).c_str();
}
