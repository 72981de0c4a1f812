#include <winsock2.h>
#include <ws2tcpip.h>
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "bencode/bencodeddict.h"
#include "bencode/bytebuffer.h"
#include "util/sizeunits.h"
#include "util/strfmt.h"
#include "util/textconv.h"

namespace {
// Keeps embedded NUL bytes.
std::string F(const char* format, ...) {
  static char buffer[8192];
  va_list args;
  va_start(args, format);
  const size_t length = FormatToBufferV(buffer, sizeof buffer, format, args);
  va_end(args);
  return std::string(buffer, length);
}

const char* const noText = nullptr;

TEST(FormatConversions, EachFamilyPrintsItsArgument) {
  const std::vector<uint8_t> twoBytes = {0x01, 0xAB}, manyBytes(2000, 0x55);
  const char* digest = "\x01\x23\x45\x67\x89\xAB\xCD\xEF\x01\x23\x45\x67\x89\xAB\xCD\xEF\x01\x23\x45\x67";
  const sockaddr_in v4{AF_INET, htons(80), {{{10, 0, 0, 1}}}, {}};
  sockaddr_in6 v6{AF_INET6, htons(443), 0, {}, {}}, mapped{AF_INET6, htons(5), 0, {}, {}};
  inet_pton(AF_INET6, "2001:db8::1", &v6.sin6_addr);
  inet_pton(AF_INET6, "::ffff:1.2.3.4", &mapped.sin6_addr);
  BencodedDict dict;
  dict.SetInt("n", 5);
  dict.SetWideString("secret", L"x");
  BencEntity integer;
  integer.SetInt(1);
  const std::pair<std::string, std::string> rows[] = {
      {"<NULL>|<ERROR>|[]", F("%s|%s|[%5s]", noText, reinterpret_cast<const char*>(5), "")},
      {"   ab|ab   |ab|abc|[]|abc", F("%5s|%-5s|%.2s|%.*s|[%.*s]|%.s", "ab", "ab", "abc", 3, "abcd", -1, "a", "abc")},
      {"wA|x100%", F("%S|%c100%%", L"w\u0141", 'x')},
      {std::string("ab\0|[]|%61%20%62|%61%00", 23), F("%.3m|[%m]|%e|%.2e", "ab\0c", "abc", "a b", "a\0b")},
      {"a%20b/c~-_.Az9|%c3%a9|    a%20|<NULL>", F("%U|%U|%8U|%U", "a b/c~-_.Az9", "\xC3\xA9", "a ", noText)},
      {"-42|+5| 5|-0042|42   |00042", F("%d|%+d|% d|%05d|%-5d|%.5d", -42, 5, 5, -42, 42, 42)},
      {"123.45|0.05|-0.05", F("%:.2d|%:.2d|%:.2d", 12345, 5, -5)},
      {"0xff|0x10|0x00ff|ABC|101|4294967295", F("%#x|%#o|%#06x|%X|%b|%u", 255, 8, 255, 0xABC, 5, 4294967295u)},
      {"-9223372036854775808|18446744073709551615|-1|7",
       F("%Ld|%Lu|%ld|%d", std::numeric_limits<int64_t>::min(), std::numeric_limits<uint64_t>::max(), -1, 7)},
      {"   42|42   |5", F("%*d|%*d|%q%d", 5, 42, -5, 42, 5)},
      {"0x00001234|0x00ab|192.168.0.1", F("%p|%.4p|%I", (void*)0x1234, (void*)0xAB, 0xC0A80001u)},
      {"3.141590|-0.500000|0.3|3|1.50    |1.000|2.05", F("%f|%f|%.1f|%.0f|%8.2f|%.3f|%.2f", 3.14159, -0.5, 0.25,
                                                       2.5, 1.5, 0.9996, 2.05)},
      {"340282366920938463463374607431768211456.0|nan|-inf|0.5" + std::string(29, '0'),
       F("%.1f|%f|%f|%.30f", std::ldexp(1.0, 128), std::nan(""), -std::numeric_limits<double>::infinity(), 0.5)},
      {"1.5 kB|1.50 kB|500 B|500 B|0.4 kB|0.0 kB", F("%Z|%#Z|%Z|%#Z|%z|%#z", 1536ull, 1536ull, 500ull, 500ull, 500, 0)},
      {"150 MB|15.0 MB|3.00 GB|2.0 TB|5.0 PB|15.9 EB|1.5 kB  |", F("%#Z|%#Z|%#z|%Z|%Z|%Z|%8Z|", 150ull << 20,
                                                                   15ull << 20, 3221225472u, 2ull << 40, 5ull << 50,
                                                                   std::numeric_limits<uint64_t>::max(), 1536ull)},
      {"01AB|[]", F("%B|[%B]", &twoBytes, static_cast<const std::vector<uint8_t>*>(nullptr))},
      {std::string(2048, '5'), F("%B", &manyBytes)},
      {"0123456789ABCDEF0123456789ABCDEF01234567|0123456789abcdef0123456789abcdef01234567|[]",
       F("%H|%h|[%H]", digest, digest, noText)},
      {"::1", F("%V", Ipv6Address{{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}})},
      {"10.0.0.1|10.0.0.1:80|[2001:db8::1]:443|1.2.3.4:5", F("%a|%A|%A|%A", &v4, &v4, &v6, &mapped)},
      {"{ \"n\": 5, \"secret\": \"***\" }|invalid|[]",
       F("%D|%D|[%D]", &dict, &integer, static_cast<const BencEntity*>(nullptr))},
      // An unfinished specification ends the run.
      {"abc|abc|abc|abc", F("abc%") + "|" + F("abc%-08.3") + "|" + F("abc%L") + "|" + F("abc%*", 5)}};
  for (const auto& [expected, actual] : rows) EXPECT_EQ(actual, expected);

  const wchar_t* units[7] = {L"B", L"EB", L"GB", L"KB", L"MB", L"PB", L"TB"};
  SetSizeUnitNames(units);
  EXPECT_EQ(F("%Z", 1536ull), "1.5 KB") << "unit names come from the language pack";
  units[3] = L"kB";
  SetSizeUnitNames(units);
}

TEST(FormatSinks, ClipToTheirSizeAndTerminate) {
  char buffer[16];
  memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(FormatToBuffer(buffer, 4, "%s", "abcdef"), 3u);
  EXPECT_EQ(std::string(buffer, 5), std::string("abc\0X", 5));
  EXPECT_TRUE(FormatToBuffer(buffer, 1, "abc") == 0 && buffer[0] == '\0');
  buffer[0] = 'X';
  EXPECT_TRUE(FormatToBuffer(buffer, 0, "abc") == 0 && buffer[0] == 'X');
  // Widths and precisions near the integer limits never size anything.
  EXPECT_EQ(F("%99999999999999999999d", 1), std::string(8191, ' '));
  EXPECT_EQ(F("%.2147483647d", 7), std::string(8191, '0'));
  EXPECT_EQ(F("%:.2147483647d", 7), "0." + std::string(8189, '0'));
  wchar_t wide[16];
  EXPECT_EQ(FormatWideToBuffer(wide, 4, L"%s", L"abcdef"), 3u);
  EXPECT_STREQ(wide, L"abc");
  EXPECT_EQ(FormatWideToBuffer(wide, 16, L"%S|%c%z", "\xE9", L'\u0141', 1536u), 9u) << "widened without code page";
  EXPECT_STREQ(wide, L"\u00E9|\u01411.5 kB");

  constexpr size_t heapLimit = 1048576;
  EXPECT_EQ(FormatString(nullptr), "");
  EXPECT_EQ(FormatString("%s", std::string(heapLimit + 100, 'a').c_str()).size(), heapLimit);
  EXPECT_EQ(FormatString("%2147483647d", 1).size(), heapLimit);
  EXPECT_EQ(FormatWideString(L"%s", std::wstring(heapLimit + 1, L'w').c_str()).size(), heapLimit);
  ByteBuffer appended;
  AppendFormat(appended, "%d %s", 7, "seven");
  AppendFormat(appended, "%s", std::string(40000, 'b').c_str());
  EXPECT_EQ(appended.View(), "7 seven" + std::string(32767, 'b'));
}

TEST(TextConversions, RoundTripUtf8AndReadCodePages) {
  EXPECT_EQ(Utf16ToUtf8(L"D:\\Fr\u00e9d \U0001F600"), "D:\\Fr\xC3\xA9" "d \xF0\x9F\x98\x80");
  const Utf8Text text = Utf16ToUtf8Alloc(L"\u00e9t\u00e9");
  EXPECT_EQ(std::string(text.data.get(), text.length + 1), std::string("\xC3\xA9t\xC3\xA9", 6));
  EXPECT_EQ(Utf8ToUtf16("\xC3\xA9t\xC3\xA9"), L"\u00e9t\u00e9");
  EXPECT_TRUE(Utf16ToUtf8(nullptr).empty() && Utf8ToUtf16(nullptr).empty());
  EXPECT_FALSE(Utf16ToUtf8Alloc(nullptr).data || MultiByteToUtf16(0, nullptr, -1).data);
  // Code page 0 is UTF-8; an unknown one falls back to ANSI; embedded NULs stay with an explicit length.
  for (const auto& [codePage, bytes, length, expected] :
       {std::tuple{0u, "\xC3\xA9", -1, std::wstring(L"\u00e9")}, {1252u, "\xE9", -1, L"\u00e9"},
        {12345u, "abc", -1, L"abc"}, {0u, "a\0bc", 3, std::wstring(L"a\0b", 3)}}) {
    const WideText wide = MultiByteToUtf16(codePage, bytes, length);
    EXPECT_EQ(std::wstring(wide.data.get(), wide.length + 1), expected + L'\0');
  }
}
}  // namespace
