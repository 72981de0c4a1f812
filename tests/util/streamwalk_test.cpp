// The pure readers of the file layer over bytes built by hand: the stream
// listing, the SDDL alias expansion and the tree delete's decision for each
// entry.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/folderhandle.h"
#include "util/securitystrings.h"
#include "util/streaminfowalk.h"

namespace {

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
  for (int shift = 0; shift < 32; shift += 8) bytes[at++] = static_cast<uint8_t>(value >> shift);
}

// Appends one FILE_STREAM_INFORMATION entry, aligned to 8 bytes, and links
// the previous one to it.
class StreamBuffer {
 public:
  StreamBuffer& Add(const std::u16string& name, uint64_t size) {
    while (bytes.size() % 8) bytes.push_back(0);
    const size_t at = bytes.size();
    if (last != npos) PutU32(bytes, last, static_cast<uint32_t>(at - last));
    bytes.resize(at + streamEntryHeaderSize + name.size() * 2);
    PutU32(bytes, at + 4, static_cast<uint32_t>(name.size() * 2));
    PutU32(bytes, at + 8, static_cast<uint32_t>(size));
    PutU32(bytes, at + 12, static_cast<uint32_t>(size >> 32));
    for (size_t unit = 0; unit < name.size(); ++unit) {
      bytes[at + streamEntryHeaderSize + unit * 2] = static_cast<uint8_t>(name[unit]);
      bytes[at + streamEntryHeaderSize + unit * 2 + 1] = static_cast<uint8_t>(name[unit] >> 8);
    }
    last = at;
    return *this;
  }
  std::vector<StreamListing> Walk() const { return WalkStreamInformation(bytes.data(), bytes.size()); }

  std::vector<uint8_t> bytes;

 private:
  static constexpr size_t npos = static_cast<size_t>(-1);
  size_t last = npos;
};

TEST(StreamWalk, ListsOnlyNamedStreamsWithContent) {
  const auto listed = StreamBuffer()
                          .Add(u"::$DATA", 99)
                          .Add(u":a:$DATA", 10)
                          .Add(u":b:$DATA", 0)
                          .Add(u"name:$DATA", 5)
                          .Add(u"::$DATAxx", 5)
                          .Add(u":c:$INDEX", 5)
                          .Walk();
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].name, u"a");
  EXPECT_EQ(listed[0].size, 10u);
}

TEST(StreamWalk, HoldsNamesOfTheFileSystemsMaximumLengthWhole) {
  const std::u16string longest(255, u'n');
  const auto listed = StreamBuffer().Add(u":" + longest + u":$DATA", 1ull << 33).Add(u":x:$DATA", 1).Walk();
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[0].name, longest);
  EXPECT_EQ(listed[0].size, 1ull << 33);
  EXPECT_EQ(listed[1].name, u"x");
}

TEST(StreamWalk, StopsAtEntriesThatLeaveTheBuffer) {
  StreamBuffer buffer;
  buffer.Add(u":a:$DATA", 1).Add(u":b:$DATA", 2);
  std::vector<uint8_t> cut(buffer.bytes.begin(), buffer.bytes.end() - 2);
  EXPECT_EQ(WalkStreamInformation(cut.data(), cut.size()).size(), 1u) << "the second name runs past the end";

  std::vector<uint8_t> looping = StreamBuffer().Add(u":a:$DATA", 1).bytes;
  PutU32(looping, 0, 0x7fffffff);
  EXPECT_EQ(WalkStreamInformation(looping.data(), looping.size()).size(), 1u);
  PutU32(looping, 4, 0xfffffffe);
  EXPECT_TRUE(WalkStreamInformation(looping.data(), looping.size()).empty());
  EXPECT_TRUE(WalkStreamInformation(looping.data(), streamEntryHeaderSize - 1).empty());
  EXPECT_TRUE(WalkStreamInformation(nullptr, 100).empty());
}

TEST(SecurityAliases, SpellsOutAccountAliasesOfEveryEntry) {
  const AliasResolver resolve = [](const std::wstring& alias, std::wstring& sid) {
    if (alias == L"BA") sid = L"S-1-5-32-544";
    else if (alias == L"SY") sid = L"S-1-5-18";
    else return false;
    return true;
  };
  EXPECT_EQ(ExpandAccountAliases(L"D:P(A;OICI;FA;;;BA)(A;;FA;;;SY)(A;;FR;;;S-1-5-11)(A;;FR;;;XX)", resolve),
            L"D:P(A;OICI;FA;;;S-1-5-32-544)(A;;FA;;;S-1-5-18)(A;;FR;;;S-1-5-11)(A;;FR;;;XX)");
  EXPECT_EQ(ExpandAccountAliases(L"D:(A;;FA;;BA)", resolve), L"D:(A;;FA;;BA)") << "four fields are no entry";
  EXPECT_EQ(ExpandAccountAliases(L"D:((((", resolve), L"D:((((");
}

struct EntryCase {
  DWORD attributes;
  DWORD reparseTag;
  const wchar_t* name;
  TreeEntryAction action;
};

class TreeDeleteEntry : public ::testing::TestWithParam<EntryCase> {};

// Wine cannot create junctions or directory links (CreateSymbolicLinkW does
// nothing there, FSCTL_SET_REPARSE_POINT is refused), so the decision is
// tested here on the entries Windows reports.
TEST_P(TreeDeleteEntry, RemovesLinksWithoutEnteringThem) {
  const EntryCase& entry = GetParam();
  EXPECT_EQ(ClassifyTreeEntry(entry.attributes, entry.reparseTag, entry.name), entry.action);
}

INSTANTIATE_TEST_SUITE_P(
    Entries, TreeDeleteEntry,
    ::testing::Values(
        EntryCase{FILE_ATTRIBUTE_ARCHIVE, 0, L"file", TreeEntryAction::DeleteFile},
        EntryCase{FILE_ATTRIBUTE_DIRECTORY, 0, L".", TreeEntryAction::Skip},
        EntryCase{FILE_ATTRIBUTE_DIRECTORY, 0, L"sub", TreeEntryAction::Descend},
        EntryCase{FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_MOUNT_POINT, L"junction",
                  TreeEntryAction::RemoveLink},
        EntryCase{FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_SYMLINK, L"link",
                  TreeEntryAction::RemoveLink},
        EntryCase{FILE_ATTRIBUTE_REPARSE_POINT, IO_REPARSE_TAG_SYMLINK, L"filelink", TreeEntryAction::DeleteFile},
        EntryCase{FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT, 0x9000601A, L"cloud",
                  TreeEntryAction::Descend}));

}  // namespace
