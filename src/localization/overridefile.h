#pragma once
// The override file beside the host program (pairs of lines: an English
// text, then what it becomes) and the report of what it does not match.
#include <string>
#include <string_view>

class TextTable;

// 8-bit report text, sections announced by headers.
class OverrideReport {
 public:
  enum class Section { UnknownStrings, MissingStrings };

  // Which header was written last; it lives as long as the process, so a
  // second report continues where the first one stopped.
  struct HeaderState {
    int lastSection = -1;
  };

  explicit OverrideReport(HeaderState& headers) : headers(headers) {}

  // One line for the text under the section's header: NUL as "||", CR and
  // LF escaped, other units by their low byte, and a "*" after a text that
  // ends in a blank or has nothing visible.
  void Add(Section section, std::wstring_view text);
  const std::string& Bytes() const { return bytes; }

 private:
  HeaderState& headers;
  std::string bytes;
};

// Applies the pairs of the override file's decoded text to the table ("?"
// keeps an entry as it is) and reports the keys that are no English text
// and, afterwards, every entry that is still English.
void ApplyOverrideText(TextTable& table, std::wstring_view text, OverrideReport& report);
