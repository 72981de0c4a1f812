// Placeholder state from the three streams, in their order, with the
// progress rounding, read from real streams.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "support/testfiles.h"
#include "syncstate/placeholderstate.h"

namespace {

struct StateCase {
  const char* name;
  std::vector<std::pair<const wchar_t*, std::string>> streams;
  int32_t progress;
  bool isFolder;
};

class PlaceholderStreams : public ::testing::TestWithParam<StateCase> {};

TEST_P(PlaceholderStreams, GiveProgressAndKind) {
  TempFolder temp;
  const std::wstring file = temp / L"report.pdf.tmvs";
  ASSERT_TRUE(WriteBytes(file, ""));
  for (const auto& [name, content] : GetParam().streams) ASSERT_TRUE(WriteBytes(file + L":" + name, content));
  PlaceholderState state;
  state.progress = 12;
  state.is_folder = true;
  ReadPlaceholderState(file, state);
  EXPECT_EQ(state.progress, GetParam().progress);
  EXPECT_EQ(state.is_folder, GetParam().isFolder);
}

constexpr const wchar_t* current = L"com.tamvera.Sync";
constexpr const wchar_t* older = L"com.quillmarch.sync";
constexpr const wchar_t* counter = L"KVXDOWN";

std::string Status(const std::string& value) { return "d10:kvx_status" + value + "e"; }
std::string Counter(std::initializer_list<unsigned char> bytes) { return std::string(bytes.begin(), bytes.end()); }

INSTANTIATE_TEST_SUITE_P(
    Records, PlaceholderStreams,
    ::testing::Values(
        StateCase{"RoundsDown", {{current, "d10:kvx_statusi57e8:kvx_typei1ee"}}, 55, false},
        StateCase{"Complete", {{current, Status("i100e")}}, 100, false},
        StateCase{"CappedAt100", {{current, Status("i250e")}}, 100, false},
        StateCase{"BelowFive", {{current, Status("i4e")}}, 0, false},
        StateCase{"AllBitsSetIsNone", {{current, Status("i4294967295e")}}, -1, false},
        StateCase{"Low32BitsOnly", {{current, Status("i4294967353e")}}, 55, false},
        StateCase{"StatusOfAnotherKindIsZero", {{current, Status("2:57")}}, 0, false},
        StateCase{"FolderPlaceholder", {{current, "d8:kvx_typei2ee"}}, -1, true},
        StateCase{"TypeOfAnotherKind", {{current, "d8:kvx_type1:2e"}}, -1, false},
        StateCase{"NeitherKey", {{current, "d5:otheri1ee"}}, -1, false},
        StateCase{"CurrentWinsOverTheOthers",
                  {{current, Status("i42e")}, {older, Status("i80e")}, {counter, Counter({90, 0, 0, 0, 0, 0, 0, 0})}},
                  40, false},
        StateCase{"EmptyCurrentStillWins", {{current, ""}, {counter, Counter({45, 0, 0, 0, 0, 0, 0, 0})}}, -1, false},
        StateCase{"ListIsNoRecord", {{current, "li57ee"}}, -1, false},
        StateCase{"Unparsable", {{current, "d10:kvx_statusi57e"}}, -1, false},
        StateCase{"OlderName", {{older, "d10:kvx_statusi80e8:kvx_typei2ee"}}, 80, true},
        StateCase{"CounterOnly", {{counter, Counter({0x2D, 0, 0, 0, 0, 0, 0, 0})}}, 45, false},
        StateCase{"CounterAllOnes", {{counter, std::string(8, '\xFF')}}, -1, false},
        StateCase{"CounterHighBitsIgnored", {{counter, Counter({0x2D, 0, 0, 0, 1, 0, 0, 0})}}, 45, false},
        StateCase{"CounterOfFourBytes", {{counter, Counter({0x2D, 0, 0, 0})}}, -1, false},
        StateCase{"NoStreams", {}, -1, false},
        StateCase{"LargerThanARecord", {{current, Status("i50e") + std::string(64 * 1024, ' ')}}, -1, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ProgressRounding, StepsOfFiveUpToOneHundred) {
  const std::pair<uint32_t, int32_t> cases[] = {{0, 0},     {4, 0},      {5, 5},          {42, 40},
                                                {99, 95},   {100, 100},  {101, 100},      {0x7FFFFFFF, 100},
                                                {0xFFFFFFFE, 100}, {0xFFFFFFFF, -1}};
  for (const auto& [stored, progress] : cases) EXPECT_EQ(RoundProgress(stored), progress) << stored;
}

}  // namespace
