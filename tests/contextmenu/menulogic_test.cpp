// The pure parts behind the menu: which installation the DLL belongs to and
// the walk over the drop list Explorer hands in. Everything else is tested
// through the DLL.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "contextmenu/droplist.h"
#include "contextmenu/scopechoice.h"

namespace {

struct ScopeCase {
  const char* name;
  std::wstring user;
  std::wstring machine;
  InstallScope expected;
};

class Scope : public ::testing::TestWithParam<ScopeCase> {};

TEST_P(Scope, FollowsLocationsAndFileIdentity) {
  // C:\U holds a copy of its own; C:\M\x.dll is the very file that was loaded.
  const std::map<std::wstring, FileIdentity> disk = {
      {L"C:\\load\\x.dll", {7, 0, 42}}, {L"C:\\U\\x.dll", {7, 0, 41}}, {L"C:\\M\\x.dll", {7, 0, 42}},
      {L"C:\\Same\\x.dll", {7, 0, 42}}, {L"C:\\Other\\x.dll", {8, 0, 42}}};
  std::vector<std::wstring> asked;
  const FileIdentityLookup lookup = [&](const std::wstring& path) -> std::optional<FileIdentity> {
    asked.push_back(path);
    const auto found = disk.find(path);
    if (found == disk.end()) return std::nullopt;
    return found->second;
  };
  const ScopeCase& param = GetParam();
  EXPECT_EQ(ChooseInstallScope(param.user, param.machine, L"C:\\load\\x.dll", lookup), param.expected);
  if (param.user.empty() || param.machine.empty()) {
    EXPECT_TRUE(asked.empty()) << "no file is opened";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Locations, Scope,
    ::testing::Values(ScopeCase{"Neither", L"", L"", InstallScope::Undecided},
                      ScopeCase{"OnlyUser", L"C:\\U", L"", InstallScope::User},
                      ScopeCase{"OnlyMachine", L"", L"C:\\M", InstallScope::Service},
                      ScopeCase{"BothLoadedIsMachineCopy", L"C:\\U", L"C:\\M", InstallScope::Service},
                      ScopeCase{"BothLoadedIsUserCopyTestedFirst", L"C:\\Same", L"C:\\M", InstallScope::User},
                      ScopeCase{"BothOtherVolume", L"C:\\U", L"C:\\Other", InstallScope::Undecided},
                      ScopeCase{"BothMissingFiles", L"C:\\Nope", L"C:\\Gone", InstallScope::Undecided}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Scope, UnreadableDllLeavesItUndecided) {
  const FileIdentityLookup nothing = [](const std::wstring&) { return std::optional<FileIdentity>{}; };
  EXPECT_EQ(ChooseInstallScope(L"C:\\U", L"C:\\M", L"C:\\U\\x.dll", nothing), InstallScope::Undecided);
  EXPECT_EQ(FileNameOf(L"C:\\a/b\\x.dll"), L"x.dll");
  EXPECT_EQ(FileNameOf(L"x.dll"), L"x.dll");
}

std::string DropList(bool wide, const std::u16string& names, uint32_t offset = 20) {
  std::string bytes(20, '\0');
  std::memcpy(bytes.data(), &offset, 4);
  bytes[16] = wide ? 1 : 0;
  bytes.resize(offset, '\0');
  for (const char16_t c : names) {
    bytes.push_back(static_cast<char>(c & 0xFF));
    if (wide) bytes.push_back(static_cast<char>(c >> 8));
  }
  return bytes;
}

TEST(DropListCheck, AcceptsOnlyListsThatEndInsideTheirMemory) {
  const std::u16string two(u"a\0bc\0\0", 6);
  EXPECT_TRUE(IsWellFormedDropList(DropList(true, two).data(), DropList(true, two).size()));
  EXPECT_TRUE(IsWellFormedDropList(DropList(false, two).data(), DropList(false, two).size()));
  const std::u16string empty(u"\0", 1);
  EXPECT_TRUE(IsWellFormedDropList(DropList(true, empty).data(), DropList(true, empty).size()));

  const std::u16string unterminated(u"a\0bc\0", 5);
  const std::string open = DropList(true, unterminated);
  EXPECT_FALSE(IsWellFormedDropList(open.data(), open.size()));
  const std::string oddTail = DropList(true, two).substr(0, DropList(true, two).size() - 1);
  EXPECT_FALSE(IsWellFormedDropList(oddTail.data(), oddTail.size()));
  const std::string beyond = DropList(true, two, 4000);
  EXPECT_FALSE(IsWellFormedDropList(beyond.data(), 100));
  EXPECT_FALSE(IsWellFormedDropList(beyond.data(), 19));
  EXPECT_FALSE(IsWellFormedDropList(nullptr, 100));
}

std::vector<std::string> NamesOf(const std::string& list) {
  DropListNames names(list.data(), list.size());
  std::vector<std::string> out;
  std::string_view name;
  while (names.Next(name)) out.emplace_back(name);
  return out;
}

TEST(DropListWalk, YieldsEachNameOnceAndNeverReadsPastTheMemory) {
  const std::u16string two(u"a\0bc\0\0", 6);
  EXPECT_EQ(NamesOf(DropList(false, two)), (std::vector<std::string>{"a", "bc"}));
  EXPECT_EQ(NamesOf(DropList(true, two)), (std::vector<std::string>{std::string("a\0", 2), std::string("b\0c\0", 4)}));
  EXPECT_TRUE(NamesOf(DropList(true, std::u16string(u"\0", 1))).empty());
  EXPECT_EQ(NamesOf(DropList(false, std::u16string(u"a\0bc", 4))), (std::vector<std::string>{"a"}))
      << "a name cut off by the end of the memory is not a name";
  EXPECT_TRUE(NamesOf(DropList(false, two, 4000).substr(0, 100)).empty());
}

}  // namespace
