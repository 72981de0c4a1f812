#pragma once
// The 308 user-visible texts, addressed by number.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

inline constexpr size_t textCount = 308;

// Current text of entry index (0-307), NUL-terminated; "" for other indices.
// Before the load has finished, the English texts.
const wchar_t* GetText(size_t index);

// Replaces "%APPNAME%" and then "%APPSHORTNAME%" by the application's names;
// inserted text is never scanned again.
void SubstituteAppNames(std::wstring& text);

class TextTable {
 public:
  // block: count entries of 8-bit text in index order, each ended by NUL,
  // parts separated by 0x01. Entries missing from a short block are empty.
  TextTable(std::string_view block, size_t count);
  TextTable(const TextTable&) = delete;
  TextTable& operator=(const TextTable&) = delete;

  size_t Count() const { return currentTexts.size(); }
  // All parts of the entry with NULs between them.
  std::wstring_view English(size_t index) const { return {englishTexts[index], englishLengths[index]}; }
  // The entry's English text up to its first NUL.
  std::wstring_view EnglishFirstPart(size_t index) const;
  const std::wstring& Current(size_t index) const { return currentTexts[index]; }
  void SetCurrent(size_t index, std::wstring text) { currentTexts[index] = std::move(text); }

  // Every current text back to the first part of its English text, with
  // the application names filled in.
  void ResetTexts();

 private:
  std::wstring englishBuffer;
  std::vector<const wchar_t*> englishTexts;
  std::vector<uint16_t> englishLengths;
  std::vector<std::wstring> currentTexts;
};

// The table of the module's own English texts, reset.
std::unique_ptr<TextTable> CreateBuiltInTable();

// Makes a fully loaded table the one GetText reads, for the rest of the
// process. Only the first call takes effect; returns whether it did.
bool PublishTextTable(std::unique_ptr<TextTable> table);
