#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "localization/languagearchive.h"
#include "localization/resourcedata.h"
#include "localization/textfile.h"
#include "localization/texttable.h"

namespace {

class BytesContainer : public DataContainer {
 public:
  explicit BytesContainer(std::string bytes, int status = 0) : bytes(std::move(bytes)), status(status) {}
  const unsigned char* Data() const override { return reinterpret_cast<const unsigned char*>(bytes.data()); }
  size_t Size() const override { return bytes.size(); }
  int Status() const override { return status; }
  void Release() override { bytes.clear(); }

 private:
  std::string bytes;
  int status;
};

std::string BuiltInArchive() {
  const ResourceData resource;
  return std::string(reinterpret_cast<const char*>(resource.Data()), resource.Size());
}

uint32_t Get(const std::string& zip, size_t offset, int bytes) {
  uint32_t value = 0;
  for (int i = bytes - 1; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(zip[offset + i]);
  return value;
}

void Set32(std::string& zip, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) zip[offset + i] = static_cast<char>(value >> (8 * i));
}

// The German entry's central directory record and its compressed data.
constexpr char germanEntry[] = "German!de.txt";
size_t CentralRecord(const std::string& zip) {
  return zip.find(germanEntry, Get(zip, zip.rfind("PK\x05\x06") + 16, 4)) - 46;
}
size_t EntryData(const std::string& zip) {
  const size_t local = Get(zip, CentralRecord(zip) + 42, 4);
  return local + 30 + Get(zip, local + 26, 2) + Get(zip, local + 28, 2);
}
constexpr size_t uncompressedSizeField = 24;

std::vector<std::wstring> Lines(const std::string& bytes) {
  const std::wstring text = DecodeTextFile(bytes);
  std::vector<std::wstring> lines;
  for (LineReader reader(text); !reader.AtEnd();) lines.emplace_back(reader.Next());
  return lines;
}

}  // namespace

TEST(LanguageArchive, BuiltInArchiveHoldsEnglishAndTenTranslationsLineForLine) {
  LanguageArchive archive(std::make_shared<ResourceData>());
  ASSERT_EQ(archive.Status(), 0);
  ASSERT_EQ(archive.EntryNames().size(), 11u);
  const LanguageArchive::Entry english = archive.ReadEntry(L"/english.txt");
  ASSERT_TRUE(english.Ok());
  const std::vector<std::wstring> englishLines = Lines(english.bytes);
  // Every English line is a text of the table, so every line can match.
  const std::unique_ptr<TextTable> table = CreateBuiltInTable();
  for (const std::wstring& line : englishLines) {
    size_t index = 0;
    while (index < table->Count() && table->English(index) != line) ++index;
    EXPECT_LT(index, table->Count()) << EncodeUtf8(line);
  }

  for (const std::wstring& name : archive.EntryNames()) {
    const LanguageArchive::Entry entry = archive.ReadEntry(name);
    ASSERT_TRUE(entry.Ok()) << EncodeUtf8(name);
    // UTF-8 without a byte-order mark, LF only, every line ended.
    EXPECT_FALSE(entry.bytes.starts_with("\xEF\xBB\xBF"));
    EXPECT_EQ(entry.bytes.find('\r'), std::string::npos);
    EXPECT_EQ(std::count(entry.bytes.begin(), entry.bytes.end(), '\n'), static_cast<long>(englishLines.size()));
    const std::vector<std::wstring> lines = Lines(entry.bytes);
    ASSERT_EQ(lines.size(), englishLines.size()) << EncodeUtf8(name);
    for (size_t n = 0; n < lines.size(); ++n) {
      EXPECT_EQ(lines[n].find(invalidCharacter), std::wstring::npos) << EncodeUtf8(name) << ":" << n + 1;
      EXPECT_EQ(lines[n].find(L"%APPNAME%") != std::wstring::npos, englishLines[n].find(L"%APPNAME%") != std::wstring::npos)
          << EncodeUtf8(name) << ":" << n + 1;
    }
  }
  EXPECT_EQ(Lines(archive.ReadEntry(L"German!de.txt").bytes)[16], L"Mit %APPNAME% teilen");
}

TEST(LanguageArchive, ReportsAMissingEntryByStatusAndTrace) {
  std::vector<std::string> messages;
  LanguageArchive archive(std::make_shared<ResourceData>(),
                          [&messages](const std::string& message) { messages.push_back(message); });
  const LanguageArchive::Entry missing = archive.ReadEntry(L"Klingon!tlh.txt");
  EXPECT_EQ(missing.status, LanguageArchive::EntryStatus::NotFound);
  EXPECT_EQ(messages, std::vector<std::string>{"ZIP: Can't locate [Klingon!tlh.txt] in zip, error -100."});
}

TEST(LanguageArchive, ContainerWithoutDataKeepsItsStatusAndListsNothing) {
  LanguageArchive archive(std::make_shared<ResourceData>(GetModuleHandleW(L"kernel32.dll")));
  EXPECT_EQ(archive.Status(), ResourceData::Missing);
  EXPECT_TRUE(archive.EntryNames().empty());
  EXPECT_FALSE(archive.ReadEntry(L"english.txt").Ok());
}

struct DamageCase {
  const char* name;
  void (*damage)(std::string& zip);
  int archiveStatus;
  LanguageArchive::EntryStatus entryStatus;
};

void PrintTo(const DamageCase& value, std::ostream* os) { *os << value.name; }

class DamagedArchiveTest : public testing::TestWithParam<DamageCase> {};

TEST_P(DamagedArchiveTest, NeverHandsOutDamagedContent) {
  std::string zip = BuiltInArchive();
  GetParam().damage(zip);
  LanguageArchive archive(std::make_shared<BytesContainer>(zip));
  EXPECT_EQ(archive.Status(), GetParam().archiveStatus);
  const LanguageArchive::Entry entry = archive.ReadEntry(L"German!de.txt");
  EXPECT_EQ(entry.status, GetParam().entryStatus);
  EXPECT_TRUE(entry.bytes.empty());
}

INSTANTIATE_TEST_SUITE_P(
    Archives, DamagedArchiveTest,
    testing::Values(
        DamageCase{"Junk", [](std::string& zip) { zip.assign(5000, 'P'); }, LanguageArchive::OpenFailed,
                   LanguageArchive::EntryStatus::NotFound},
        DamageCase{"CutShort", [](std::string& zip) { zip.resize(zip.size() - 30); }, LanguageArchive::OpenFailed,
                   LanguageArchive::EntryStatus::NotFound},
        DamageCase{"HugeClaimedSize",
                   [](std::string& zip) { Set32(zip, CentralRecord(zip) + uncompressedSizeField, 0xFFFFFFF0u); }, 0,
                   LanguageArchive::EntryStatus::OpenFailed},
        DamageCase{"ClaimedSizeBeyondTheData",
                   [](std::string& zip) {
                     const size_t field = CentralRecord(zip) + uncompressedSizeField;
                     Set32(zip, field, Get(zip, field, 4) + 1000);
                   },
                   0, LanguageArchive::EntryStatus::ReadFailed},
        DamageCase{"ClaimedSizeShortOfTheData",
                   [](std::string& zip) {
                     const size_t field = CentralRecord(zip) + uncompressedSizeField;
                     Set32(zip, field, Get(zip, field, 4) - 100);
                   },
                   0, LanguageArchive::EntryStatus::ReadFailed},
        DamageCase{"InvalidDeflateBlock", [](std::string& zip) { zip[EntryData(zip)] = '\xFF'; }, 0,
                   LanguageArchive::EntryStatus::ReadFailed},
        DamageCase{"DeflatedBytesChanged", [](std::string& zip) { zip[EntryData(zip) + 40] ^= 0x10; }, 0,
                   LanguageArchive::EntryStatus::ReadFailed}),
    [](const testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.name); });
