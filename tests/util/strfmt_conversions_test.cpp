#include <winsock2.h>
#include <ws2tcpip.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "channel/bencodeddict.h"
#include "util/sizeunits.h"
#include "util/strfmt.h"

namespace {
// Formats into a large fixed buffer, keeping embedded NUL bytes.
std::string F(const char* format, ...) {
  static char buffer[8192];
  va_list args;
  va_start(args, format);
  const size_t length = FormatToBufferV(buffer, sizeof buffer, format, args);
  va_end(args);
  return std::string(buffer, length);
}

struct FormatCase {
  const char* name;
  std::string expected;
  std::string actual;
};

std::string Repeated(const std::string& text, size_t times) {
  std::string out;
  for (size_t i = 0; i < times; ++i) out += text;
  return out;
}

const std::vector<uint8_t> twoBytes = {0x01, 0xAB};
const std::vector<uint8_t> manyBytes(2000, 0x5A);
const uint8_t digest[20] = {0x00, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99,
                            0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF, 0x01, 0x23, 0x45, 0x67};

sockaddr_in Ipv4Socket(const char* text, uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  inet_pton(AF_INET, text, &address.sin_addr);
  return address;
}

sockaddr_in6 Ipv6Socket(const char* text, uint16_t port) {
  sockaddr_in6 address{};
  address.sin6_family = AF_INET6;
  address.sin6_port = htons(port);
  inet_pton(AF_INET6, text, &address.sin6_addr);
  return address;
}

const sockaddr_in socketV4 = Ipv4Socket("10.0.0.1", 80);
const sockaddr_in6 socketV6 = Ipv6Socket("2001:db8::1", 443);
const sockaddr_in6 socketMapped = Ipv6Socket("::ffff:1.2.3.4", 5);
const Ipv6Address loopback = {{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1}};

BencodedDict MakeDict() {
  BencodedDict dict;
  dict.SetInt("n", 5);
  dict.SetWideString("secret", L"x");
  return dict;
}
const BencodedDict sampleDict = MakeDict();
BencEntity MakeInt() {
  BencEntity entity;
  entity.SetInt(1);
  return entity;
}
const BencEntity sampleInt = MakeInt();

class FormatConversionTest : public testing::TestWithParam<FormatCase> {};

TEST_P(FormatConversionTest, Prints) { EXPECT_EQ(GetParam().actual, GetParam().expected); }

#define CASE(name, expected, ...) FormatCase{name, expected, F(__VA_ARGS__)}

INSTANTIATE_TEST_SUITE_P(
    Strings, FormatConversionTest,
    testing::Values(CASE("NullString", "<NULL>", "%s", static_cast<const char*>(nullptr)),
                    CASE("SmallPointer", "<ERROR>", "%s", reinterpret_cast<const char*>(5)),
                    CASE("EmptyIgnoresWidth", "[]", "[%5s]", ""), CASE("Width", "   ab", "%5s", "ab"),
                    CASE("LeftWidth", "ab   |", "%-5s|", "ab"), CASE("Precision", "ab", "%.2s", "abcdef"),
                    CASE("StarPrecision", "abc", "%.*s", 3, "abcdef"),
                    CASE("NegativeStarPrecision", "[]", "[%.*s]", -1, "abc"),
                    CASE("DotAloneLeavesPrecisionUnset", "abc", "%.s", "abc"),
                    CASE("OtherWidth", "wide", "%S", L"wide"), CASE("OtherWidthLowByte", "A", "%S", L"\u0141"),
                    CASE("Character", "x", "%c", 'x'), CASE("Percent", "100%", "100%%"),
                    CASE("RawBytes", std::string("ab\0", 3), "%.3m", "ab\0cd"),
                    CASE("RawBytesNeedPrecision", "[]", "[%m]", "abc"),
                    CASE("PercentEscapes", "%61%20%62", "%e", "a b"),
                    CASE("PercentEscapesPrecision", std::string("%61%00"), "%.2e", std::string("a\0b", 3).c_str()),
                    CASE("Url", "a%20b/c", "%U", "a b/c"), CASE("UrlSafeBytes", "~-_.Az9", "%U", "~-_.Az9"),
                    CASE("UrlHighBytes", "%c3%a9", "%U", "\xC3\xA9"), CASE("UrlWidth", "    a%20", "%8U", "a "),
                    CASE("UrlNull", "<NULL>", "%U", static_cast<const char*>(nullptr))),
    [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Integers, FormatConversionTest,
    testing::Values(CASE("Signed", "-42", "%d", -42), CASE("Plus", "+5", "%+d", 5), CASE("Blank", " 5", "% d", 5),
                    CASE("ZeroPadAfterSign", "-0042", "%05d", -42), CASE("Left", "42   |", "%-5d|", 42),
                    CASE("MinimumDigits", "00042", "%.5d", 42), CASE("FixedPoint", "123.45", "%:.2d", 12345),
                    CASE("FixedPointSmall", "0.05", "%:.2d", 5), CASE("FixedPointNegative", "-0.05", "%:.2d", -5),
                    CASE("HexPrefix", "0xff", "%#x", 255), CASE("OctalPrefix", "0x10", "%#o", 8),
                    CASE("ZeroPadAfterPrefix", "0x00ff", "%#06x", 255), CASE("UpperHex", "ABC", "%X", 0xABC),
                    CASE("Binary", "101", "%b", 5), CASE("Unsigned", "4294967295", "%u", 4294967295u),
                    CASE("Long64", "-9223372036854775808", "%Ld", std::numeric_limits<int64_t>::min()),
                    CASE("Long64Unsigned", "18446744073709551615", "%Lu", std::numeric_limits<uint64_t>::max()),
                    CASE("LongIs32Bit", "-1|7", "%ld|%d", -1, 7), CASE("StarWidth", "   42", "%*d", 5, 42),
                    CASE("NegativeStarWidth", "42   |", "%*d|", -5, 42),
                    CASE("Pointer", "0x00001234", "%p", reinterpret_cast<void*>(0x1234)),
                    CASE("PointerPrecision", "0x00ab", "%.4p", reinterpret_cast<void*>(0xAB)),
                    CASE("UnknownTakesNoArgument", "5", "%q%d", 5), CASE("Ipv4", "192.168.0.1", "%I", 0xC0A80001u)),
    [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Doubles, FormatConversionTest,
    testing::Values(CASE("Default", "3.141590", "%f", 3.14159), CASE("HalfUp", "0.3", "%.1f", 0.25),
                    CASE("NoFraction", "3", "%.0f", 2.5), CASE("PadRight", "1.50    |", "%8.2f|", 1.5),
                    CASE("Negative", "-0.500000", "%f", -0.5), CASE("Carry", "1.000", "%.3f", 0.9996),
                    CASE("LeadingFractionZeros", "2.05", "%.2f", 2.05),
                    CASE("Large", "100000000000000000000.000000", "%f", 1e20),
                    CASE("BeyondSixtyFourBits", "340282366920938463463374607431768211456.0", "%.1f", std::ldexp(1.0, 128)),
                    CASE("LongPrecision", "0.5" + std::string(29, '0'), "%.30f", 0.5),
                    CASE("NotANumber", "nan", "%f", std::nan("")),
                    CASE("Infinity", "-inf", "%f", -std::numeric_limits<double>::infinity())),
    [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Sizes, FormatConversionTest,
    testing::Values(CASE("Kilobytes", "1.5 kB", "%Z", uint64_t{1536}), CASE("Precise", "1.50 kB", "%#Z", uint64_t{1536}),
                    CASE("PlainBytes", "500 B", "%Z", uint64_t{500}), CASE("PlainBytesPrecise", "500 B", "%#Z", uint64_t{500}),
                    CASE("NeverBytes", "0.4 kB", "%z", 500u), CASE("Zero", "0.0 kB", "%#z", 0u),
                    CASE("PreciseWhole", "150 MB", "%#Z", uint64_t{150} << 20),
                    CASE("PreciseTenths", "15.0 MB", "%#Z", uint64_t{15} << 20),
                    CASE("Gigabytes", "3.00 GB", "%#z", 3221225472u),
                    CASE("Terabytes", "2.0 TB", "%Z", uint64_t{2} << 40),
                    CASE("Petabytes", "5.0 PB", "%Z", uint64_t{5} << 50),
                    CASE("LargestCount", "15.9 EB", "%Z", std::numeric_limits<uint64_t>::max()),
                    CASE("PaddedRight", "1.5 kB  |", "%8Z|", uint64_t{1536})),
    [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Binary, FormatConversionTest,
    testing::Values(CASE("ByteVector", "01AB", "%B", &twoBytes),
                    CASE("ByteVectorFirst1024", Repeated("5A", 1024), "%B", &manyBytes),
                    CASE("ByteVectorNull", "[]", "[%B]", static_cast<const std::vector<uint8_t>*>(nullptr)),
                    CASE("DigestUpper", "00112233445566778899AABBCCDDEEFF01234567", "%H", digest),
                    CASE("DigestLower", "00112233445566778899aabbccddeeff01234567", "%h", digest),
                    CASE("DigestNull", "[]", "[%H]", static_cast<const uint8_t*>(nullptr)),
                    CASE("Ipv6", "::1", "%V", loopback), CASE("SocketV4", "10.0.0.1", "%a", &socketV4),
                    CASE("SocketV4Port", "10.0.0.1:80", "%A", &socketV4),
                    CASE("SocketV6Port", "[2001:db8::1]:443", "%A", &socketV6),
                    CASE("SocketMappedShowsIpv4", "1.2.3.4:5", "%A", &socketMapped),
                    CASE("Dictionary", "{ \"n\": 5, \"secret\": \"***\" }", "%D", &sampleDict),
                    CASE("NotADictionary", "invalid", "%D", &sampleInt),
                    CASE("NullDictionary", "[]", "[%D]", static_cast<const BencEntity*>(nullptr))),
    [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

INSTANTIATE_TEST_SUITE_P(
    UnfinishedSpecifications, FormatConversionTest,
    testing::Values(CASE("LonePercent", "abc", "abc%"), CASE("FlagsWidthPrecision", "abc", "abc%-08.3"),
                    CASE("LengthOnly", "abc", "abc%L"), CASE("StarWidth", "abc", "abc%*", 5)),
    [](const testing::TestParamInfo<FormatCase>& info) { return std::string(info.param.name); });

TEST(FormatSizes, UseTheLanguagePackUnitNames) {
  const wchar_t* german[7] = {L"B", L"EB", L"GB", L"KB", L"MB", L"PB", L"TB"};
  SetSizeUnitNames(german);
  EXPECT_EQ(F("%Z", uint64_t{1536}), "1.5 KB");
  const wchar_t* english[7] = {L"B", L"EB", L"GB", L"kB", L"MB", L"PB", L"TB"};
  SetSizeUnitNames(english);
  EXPECT_EQ(F("%Z", uint64_t{1536}), "1.5 kB");
}
}  // namespace
