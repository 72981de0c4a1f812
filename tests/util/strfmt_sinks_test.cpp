#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "channel/bytebuffer.h"
#include "util/strfmt.h"

namespace {
constexpr size_t heapLimit = 1048576;

std::string Alloc(const char* format, ...) {
  va_list args;
  va_start(args, format);
  char* text = FormatAlloc(format, args);
  va_end(args);
  std::string result = text ? text : "(null)";
  free(text);
  return result;
}

std::wstring WideAlloc(const wchar_t* format, ...) {
  va_list args;
  va_start(args, format);
  wchar_t* text = FormatWideAlloc(format, args);
  va_end(args);
  std::wstring result = text ? text : L"(null)";
  free(text);
  return result;
}

TEST(FormatToBuffer, ClipsToSizeMinusOneAndTerminates) {
  char buffer[8];
  memset(buffer, 'X', sizeof buffer);
  EXPECT_EQ(FormatToBuffer(buffer, 4, "%s", "abcdef"), 3u);
  EXPECT_STREQ(buffer, "abc");
  EXPECT_EQ(buffer[4], 'X');
  EXPECT_EQ(FormatToBuffer(buffer, 1, "abc"), 0u);
  EXPECT_STREQ(buffer, "");
  buffer[0] = 'X';
  EXPECT_EQ(FormatToBuffer(buffer, 0, "abc"), 0u);
  EXPECT_EQ(buffer[0], 'X');
  EXPECT_EQ(FormatToBuffer(buffer, sizeof buffer, "%d-%d", 12, 34), 5u);
  EXPECT_STREQ(buffer, "12-34");
}

TEST(FormatToBuffer, HugeWidthsAndPrecisionsStayWithinTheBuffer) {
  char buffer[16];
  EXPECT_EQ(FormatToBuffer(buffer, sizeof buffer, "%99999999999999999999d", 1), 15u);
  EXPECT_EQ(std::string(buffer), std::string(15, ' '));
  EXPECT_EQ(FormatToBuffer(buffer, sizeof buffer, "%.2147483647d", 7), 15u);
  EXPECT_EQ(std::string(buffer), std::string(15, '0'));
  EXPECT_EQ(FormatToBuffer(buffer, sizeof buffer, "%:.2147483647d", 7), 15u);
  EXPECT_EQ(std::string(buffer), "0." + std::string(13, '0'));
}

TEST(FormatWideToBuffer, ClipsAndWidensNarrowTextWithoutCodePage) {
  wchar_t buffer[8];
  EXPECT_EQ(FormatWideToBuffer(buffer, 4, L"%s", L"abcdef"), 3u);
  EXPECT_STREQ(buffer, L"abc");
  EXPECT_EQ(FormatWideToBuffer(buffer, 8, L"%S|%d", "\xE9", -3), 4u);
  EXPECT_STREQ(buffer, L"\u00E9|-3");
  EXPECT_EQ(FormatWideToBuffer(buffer, 8, L"%c%Z", L'\u0141', uint64_t{1536}), 7u);
  EXPECT_STREQ(buffer, L"\u01411.5 kB");
}

TEST(FormatAlloc, GrowsUpToItsLimit) {
  EXPECT_EQ(Alloc("%s=%d", "x", 1), "x=1");
  EXPECT_EQ(Alloc(""), "");
  const std::string big(heapLimit + 100, 'a');
  EXPECT_EQ(Alloc("%s", big.c_str()).size(), heapLimit);
  EXPECT_EQ(Alloc("%2147483647d", 1).size(), heapLimit);
}

TEST(FormatWideAlloc, GrowsUpToItsLimitAndWidensByZeroExtension) {
  EXPECT_EQ(WideAlloc(L"%S", "\xE9"), L"\u00E9");
  const std::wstring big(heapLimit + 1, L'w');
  EXPECT_EQ(WideAlloc(L"%s", big.c_str()).size(), heapLimit);
}

TEST(FormatString, ReturnsStandardStrings) {
  EXPECT_EQ(FormatString("%s:%u", "host", 42u), "host:42");
  EXPECT_EQ(FormatWideString(L"%s:%d", L"explorer.exe", 4242), L"explorer.exe:4242");
  EXPECT_EQ(FormatString("%S", L"\u0141"), "A");
  EXPECT_EQ(FormatString(nullptr), "");
}

TEST(AppendFormat, AppendsAtMost32767Characters) {
  ByteBuffer buffer;
  buffer.Append("> ", 2);
  AppendFormat(buffer, "%d %s", 7, "seven");
  EXPECT_EQ(buffer.View(), "> 7 seven");
  const std::string big(40000, 'b');
  ByteBuffer large;
  AppendFormat(large, "%s", big.c_str());
  EXPECT_EQ(large.Size(), 32767u);
}
}  // namespace
