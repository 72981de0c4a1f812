#pragma once
// Language files as text: UTF-8 decoding and the line reader shared by the
// translations and the override file.
#include <string>
#include <string_view>

// What an undecodable byte sequence becomes.
inline constexpr wchar_t invalidCharacter = 0xFFFD;

// Decodes a text file's bytes up to the first NUL, skipping a leading UTF-8
// byte-order mark. Every maximal invalid sequence becomes invalidCharacter.
// The result holds UTF-16 code units whatever the width of wchar_t.
std::wstring DecodeTextFile(std::string_view bytes);

// UTF-16 code units to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string EncodeUtf8(std::wstring_view text);

// Hands out the lines of a text one by one. A line ends at CR, LF or the end
// of the text; runs of line breaks (blank lines) are skipped, and one "*" at
// the end of a line is dropped, so a line can keep trailing blanks.
class LineReader {
 public:
  // The text ends at its first NUL.
  explicit LineReader(std::wstring_view text);

  bool AtEnd() const { return position >= text.size(); }
  // The next line; empty at the end.
  std::wstring_view Next();

 private:
  void SkipLineBreaks();

  std::wstring_view text;
  size_t position = 0;
};
