// The application's records as a broken disk or a hostile writer leaves
// them, read through the built DLL's menu and icon: every shape of
// placeholder state and folder identity gives, within the bound, exactly
// what the sound record it decodes to gives (for anything undecodable, the
// defaults: no progress, not a folder, no selective folder).
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "hostile/hostilesupport.h"
#include "support/testfiles.h"
#include "util/uniquehandle.h"

namespace {

constexpr wchar_t stateStream[] = L"com.tamvera.Sync";
constexpr uint64_t gibibyte = uint64_t{1} << 30;
const std::string none = "de";  // decodes to every default

struct RecordCase {
  std::string name;
  std::string bytes;
  std::string equivalent;   // a sound record of the same meaning
  uint64_t sparseSize = 0;  // a sparse stream of this size instead
  const wchar_t* stream = stateStream;
  bool locked = false;  // held open without sharing while the DLL reads
};

std::string Repeat(const std::string& piece, size_t count) {
  std::string text;
  text.reserve(piece.size() * count);
  for (size_t i = 0; i < count; ++i) text += piece;
  return text;
}

// Every proper prefix of a valid record, the empty one included.
void AddTruncations(std::vector<RecordCase>& cases, const std::string& valid) {
  for (size_t length = 0; length < valid.size(); ++length)
    cases.push_back({"CutAt" + std::to_string(length), valid.substr(0, length), none});
}

void AddRandom(std::vector<RecordCase>& cases, uint32_t seed, int count) {
  uint32_t state = seed;
  const auto next = [&state] { return (state = state * 1664525u + 1013904223u) >> 24; };
  for (int i = 0; i < count; ++i) {
    std::string bytes(1 + next() + next(), '\0');
    for (char& c : bytes) c = static_cast<char>(next());
    cases.push_back({"Random" + std::to_string(i), bytes, none});
  }
}

// Shapes that no record decoder may take for more than they are.
void AddCommonShapes(std::vector<RecordCase>& cases) {
  const std::string million(1000000, 'l');
  cases.push_back({"MillionLevelsTerminated", million + std::string(1000000, 'e'), none});
  cases.push_back({"MillionLevelsOpen", million, none});
  cases.push_back({"NestedListsOpen", "d10:kvx_status" + std::string(40000, 'l'), none});
  cases.push_back({"StringClaimingFourGigabytes", "d10:kvx_status4294967295:xe", none});
  cases.push_back({"StringClaimingBeyondThirtyTwoBits", "d10:kvx_status4294967296:xe", none});
  cases.push_back({"KeyClaimingBeyondSixtyFourBits", "d18446744073709551616:xi1ee", none});
  cases.push_back({"BareLengthClaim", "4294967295:", none});
  cases.push_back({"ListInsteadOfDictionary", "li40ee", none});
  cases.push_back({"BareInteger", "i40e", none});
  cases.push_back({"RepeatedKey", "d10:kvx_statusi40e10:kvx_statusi60ee", none});
  cases.push_back({"InvalidUtf8Key", "d10:kvx_\xff\xfe\xfdtusi40ee", none});
  cases.push_back({"NulInsideTheRecord", std::string("d10:kvx_status\0i40ee", 20), none});
  cases.push_back({"GarbageAfterDigits", "d10:kvx_statusi12x", none});
  cases.push_back({"SparseThreeHundredMegabytes", {}, none, 300u << 20});
  cases.push_back({"SparseFourGibibytesExactly", {}, none, 4 * gibibyte});
  cases.push_back({"SparseSixGibibytes", {}, none, 6 * gibibyte});
}

struct Observation {
  MenuSnapshot menu;
  IconSnapshot icon;
};

class Records : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateFolder(root));
    ASSERT_TRUE(WriteBytes(placeholder, ""));
  }

  Observation Observe() const {
    return {SnapshotMenu(dll, DropDataObject({placeholder}).Get()), SnapshotIcon(dll, placeholder)};
  }

  static void ClearStreams(const std::wstring& host) {
    for (const wchar_t* name : {stateStream, L"com.quillmarch.sync", L"KVXDOWN", L"_TYPE"})
      DeleteFileW((host + L":" + name).c_str());
  }

  // Puts the case's stream on the host; the returned handle holds a locked
  // stream open until it goes.
  static UniqueFile Put(const std::wstring& host, const RecordCase& record) {
    ClearStreams(host);
    const std::wstring stream = host + L":" + record.stream;
    if (record.sparseSize) {
      EXPECT_TRUE(WriteSparse(stream, record.sparseSize));
    } else {
      EXPECT_TRUE(WriteBytes(stream, record.bytes));
    }
    if (!record.locked) return UniqueFile();
    return UniqueFile(CreateFileW(stream.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  }

  // Each case against its equivalent record, written as the current stream.
  void ExpectEachLikeItsEquivalent(const std::wstring& host, const std::vector<RecordCase>& cases) {
    std::map<std::string, Observation> references;
    for (const RecordCase& record : cases) {
      SCOPED_TRACE(record.name);
      Observation seen;
      {
        const UniqueFile lock = Put(host, record);
        if (record.locked) {
          ASSERT_TRUE(lock.Valid());
        }
        seen = Observe();
      }
      auto reference = references.find(record.equivalent);
      if (reference == references.end()) {
        Put(host, {"reference", record.equivalent, record.equivalent});
        reference = references.emplace(record.equivalent, Observe()).first;
        EXPECT_EQ(reference->second.menu.result, MAKE_HRESULT(SEVERITY_SUCCESS, 0, 6));
        EXPECT_EQ(reference->second.icon.result, S_OK);
        EXPECT_FALSE(reference->second.icon.large.empty());
      }
      EXPECT_EQ(seen.menu, reference->second.menu);
      EXPECT_EQ(seen.icon, reference->second.icon);
    }
    ClearStreams(host);
    std::printf("%zu record shapes, %zu distinct meanings\n", cases.size(), references.size());
  }

  TempFolder folder;
  // A per-user installation: the menu shows without the application.
  InstallLocationKey userInstall{HKEY_CURRENT_USER, folder.Path()};
  DllUnderTest dll;
  const std::wstring root = folder / L"Sync";
  const std::wstring placeholder = root + L"\\report.docx.tmvs";
};

TEST_F(Records, PlaceholderStateOfAnyShapeShowsWhatItDecodesTo) {
  MakeSyncRoot(root, FolderRecord(2, 1, CurrentUser()));
  const std::string at0 = "d10:kvx_statusi0ee";
  std::vector<RecordCase> cases;
  AddTruncations(cases, "d10:kvx_statusi40e8:kvx_typei2ee");
  AddRandom(cases, 0x5EED0001, 40);
  AddCommonShapes(cases);
  cases.insert(
      cases.end(),
      {
          {"NestedListsAsStatus", "d10:kvx_status" + std::string(30000, 'l') + std::string(30000, 'e') + "e", at0},
          {"NestedDictionariesAsType", "d8:kvx_type" + Repeat("d1:a", 10000) + std::string(10000, 'e') + "e", none},
          {"StatusMinusOne", "d10:kvx_statusi-1ee", none},
          {"StatusBeyondSixtyFourBits", "d10:kvx_statusi99999999999999999999999ee", none},
          {"StatusOfThirtyThreeBits", "d10:kvx_statusi4294967296ee", at0},
          {"StatusWithoutDigits", "d10:kvx_statusiee", at0},
          {"StatusAsString", "d10:kvx_status3:abce", at0},
          {"StatusAsDictionary", "d10:kvx_statusdee", at0},
          {"TypeAsString", "d8:kvx_type1:2e", none},
          {"StreamLockedByAnotherWriter", "d10:kvx_statusi40ee", none, 0, stateStream, true},
          {"OldCounterTooShort", std::string("\x28\0\0\0\0\0\0", 7), none, 0, L"KVXDOWN"},
          {"OldCounterAllBitsSet", std::string(8, '\xff'), none, 0, L"KVXDOWN"},
          {"OldCounterSparseFiveGibibytes", {}, at0, 5 * gibibyte, L"KVXDOWN"},
      });
  ExpectEachLikeItsEquivalent(placeholder, cases);
}

TEST_F(Records, FolderRecordOfAnyShapeShowsWhatItDecodesTo) {
  MakeSyncRoot(root, none);
  ASSERT_TRUE(WriteBytes(placeholder + L":" + stateStream, none));
  const std::wstring marker = root + L"\\.sync\\ID";
  const std::wstring user = CurrentUser();
  const std::string userBytes = Utf8(user);
  const std::string owner = "5:owner" + std::to_string(userBytes.size()) + ":" + userBytes;
  std::vector<RecordCase> cases;
  AddTruncations(cases, FolderRecord(2, 1, user));
  AddRandom(cases, 0x5EED0002, 40);
  AddCommonShapes(cases);
  cases.insert(
      cases.end(),
      {
          {"NestedListsAsOwner", "d4:modei1e5:owner" + std::string(30000, 'l') + std::string(30000, 'e') + "4:typei2ee",
           FolderRecord(2, 1, L"")},
          {"OwnerClaimingFourGigabytes", "d4:modei1e5:owner4294967295:x4:typei2ee", none},
          {"OwnerOfInvalidUtf8",
           "d4:modei1e5:owner4:\xff\xfe\xfd\xfc"
           "4:typei2ee",
           FolderRecord(2, 1, L"nobody")},
          {"ModeAsString", "d4:mode1:1" + owner + "4:typei2ee", FolderRecord(2, 0, user)},
          {"TypeBeyondThirtyTwoBits", "d4:modei1e" + owner + "4:typei4294967298ee", FolderRecord(2, 1, user)},
          {"TypeAsList", "d4:modei1e" + owner + "4:typeli2eee", FolderRecord(0, 1, user)},
          {"StreamLockedByAnotherWriter", FolderRecord(2, 1, user), none, 0, stateStream, true},
          {"OldStreamOfJunk", "\x01\x02junk", none, 0, L"_TYPE"},
      });
  ExpectEachLikeItsEquivalent(marker, cases);
}

}  // namespace
