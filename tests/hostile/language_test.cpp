// The language pack as a damaged DLL carries it, and override files beside
// the host of any content and size. Run with a German user interface: the
// texts are the whole translation or plain English, never damaged ones,
// and every call ends within the bound.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <string>

#include "hostile/hostilesupport.h"
#include "support/testfiles.h"

namespace {

const std::wstring englishShare = L"Share with Tamvera Sync";
const std::wstring germanShare = L"Mit Tamvera Sync teilen";

std::wstring HelpText(const DllCopy& dll, UINT offset) {
  const ComPtr<IContextMenu> menu = Bounded("CreateInstance", [&] { return dll.CreateMenu(); });
  wchar_t text[128] = {};
  if (!menu || menu->GetCommandString(offset, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(text), 128) != S_OK)
    return L"(none)";
  return text;
}

// The archive resource's bytes as the built DLL carries them.
std::string BuiltArchive() {
  HMODULE module = LoadLibraryExW(DllUnderTest::Path().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  std::string bytes;
  if (HRSRC resource = module ? FindResourceW(module, MAKEINTRESOURCEW(111), L"BIN") : nullptr) {
    const auto* data = static_cast<const char*>(LockResource(LoadResource(module, resource)));
    if (data) bytes.assign(data, SizeofResource(module, resource));
  }
  if (module) FreeLibrary(module);
  return bytes;
}

uint32_t Get32(const std::string& zip, size_t at) {
  uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(zip[at + i]);
  return value;
}
uint32_t Get16(const std::string& zip, size_t at) {
  return static_cast<unsigned char>(zip[at]) | static_cast<unsigned char>(zip[at + 1]) << 8;
}
void Set32(std::string& zip, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) zip[at + i] = static_cast<char>(value >> (8 * i));
}
size_t EndRecord(const std::string& zip) { return zip.rfind("PK\x05\x06"); }
size_t GermanCentralRecord(const std::string& zip) {
  return zip.find("German!de.txt", Get32(zip, EndRecord(zip) + 16)) - 46;
}
size_t GermanData(const std::string& zip) {
  const size_t local = Get32(zip, GermanCentralRecord(zip) + 42);
  return local + 30 + Get16(zip, local + 26) + Get16(zip, local + 28);
}

// Damage keeps the archive's size, so the copy is patched in place and the
// rest of the DLL stays as built.
struct ArchiveDamage {
  const char* name;
  std::function<void(std::string& zip)> damage;
};

class Language : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!GetEnvironmentVariableW(L"SYNCSHELL_HOSTILE_LANGUAGE", nullptr, 0))
      GTEST_SKIP() << "runs under a German user interface only (hostile_language_tests)";
  }
  TempFolder folder;
};

TEST_F(Language, ADamagedArchiveGivesEnglishTexts) {
  const std::string archive = BuiltArchive();
  const std::string dllBytes = ReadBytes(DllUnderTest::Path());
  const size_t at = dllBytes.find(archive);
  ASSERT_FALSE(archive.empty());
  ASSERT_NE(at, std::string::npos);
  {
    DllCopy intact(folder / L"intact");
    ASSERT_EQ(HelpText(intact, 1), germanShare) << "the user interface must be German";
  }
  const ArchiveDamage damages[] = {
      {"Junk", [](std::string& zip) { zip.assign(zip.size(), 'P'); }},
      {"AllZero", [](std::string& zip) { zip.assign(zip.size(), '\0'); }},
      {"EndRecordGone", [](std::string& zip) { std::fill(zip.end() - 30, zip.end(), '\0'); }},
      {"SecondHalfGone", [](std::string& zip) { std::fill(zip.begin() + zip.size() / 2, zip.end(), '\0'); }},
      {"CentralDirectoryBeyondTheEnd", [](std::string& zip) { Set32(zip, EndRecord(zip) + 16, 0x7FFFFFF0u); }},
      {"GermanSizeNearFourGigabytes", [](std::string& zip) { Set32(zip, GermanCentralRecord(zip) + 24, 0xFFFFFFF0u); }},
      {"GermanDeflatedBytesChanged", [](std::string& zip) { zip[GermanData(zip) + 40] ^= 0x10; }},
      {"GermanDeflateBlockInvalid", [](std::string& zip) { zip[GermanData(zip)] = '\xFF'; }},
  };
  for (const ArchiveDamage& damage : damages) {
    SCOPED_TRACE(damage.name);
    std::string zip = archive;
    damage.damage(zip);
    std::string patched = dllBytes;
    patched.replace(at, zip.size(), zip);
    const std::wstring damaged = folder / (L"damaged-" + Wide(damage.name));
    ASSERT_TRUE(CreateFolder(damaged) && WriteBytes(damaged + L"\\SyncShellContextMenu.dll", patched));
    DllCopy copy(folder / (L"load-" + Wide(damage.name)), damaged + L"\\SyncShellContextMenu.dll");
    ASSERT_TRUE(copy.Loaded());
    EXPECT_EQ(HelpText(copy, 1), englishShare);
    EXPECT_EQ(HelpText(copy, 5), L"Remove from all devices");
  }
}

std::string Junk(size_t size) {
  std::string junk(size, '\0');
  uint32_t state = 2024;
  for (char& c : junk) c = static_cast<char>((state = state * 1103515245 + 12345) >> 16);
  return junk;
}

TEST_F(Language, OverrideFilesOfAnyContentLeaveTheTranslationWhole) {
  wchar_t host[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, host, MAX_PATH);
  const std::wstring overridePath = std::wstring(host) + L".lang.txt";
  const std::wstring reportPath = std::wstring(host) + L".log";
  const struct {
    const char* name;
    std::string content;
    int report;  // 1: unknown lines are reported, 0: the file is never read, -1: either
  } overrides[] = {
      {"BinaryJunk", Junk(200000), 1},
      {"MegabyteWithoutLineEnd", std::string(1 << 20, 'a'), 1},
      {"BeyondTheSizeLimit", std::string(3 << 20, 'a'), 0},
      {"KeyWithoutValue", "Share with %APPNAME%", -1},
      {"ValueAfterNul", std::string("Share with %APPNAME%\r\n\0Teilen\r\n", 31), -1},
  };
  for (const auto& entry : overrides) {
    SCOPED_TRACE(entry.name);
    DeleteFileW(reportPath.c_str());
    ASSERT_TRUE(WriteBytes(overridePath, entry.content));
    {
      DllCopy copy(folder / (L"load-" + Wide(entry.name)));
      ASSERT_TRUE(copy.Loaded());
      EXPECT_EQ(HelpText(copy, 1), germanShare);
    }
    const bool reported = GetFileAttributesW(reportPath.c_str()) != INVALID_FILE_ATTRIBUTES;
    if (entry.report >= 0) {
      EXPECT_EQ(reported, entry.report == 1);
    }
  }
  DeleteFileW(overridePath.c_str());
  DeleteFileW(reportPath.c_str());
}

}  // namespace
