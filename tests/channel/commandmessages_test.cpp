// The command messages of each menu action, byte for byte as they go on the wire.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bencode/bencencode.h"
#include "channel/commandmessages.h"

namespace {
struct MessageCase {
  const char* name;
  CommandAction action;
  std::vector<std::wstring> paths;  // an empty path stands for an unreadable item
  std::vector<std::string> wire;
};
class CommandMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(CommandMessages, EncodeExactly) {
  std::vector<std::string> wire;
  for (const auto& message : MakeCommandBatch(GetParam().action, GetParam().paths))
    wire.emplace_back(BencEncode(*message).View());
  EXPECT_EQ(wire, GetParam().wire);
}

using A = CommandAction;
INSTANTIATE_TEST_SUITE_P(Actions, CommandMessages, ::testing::Values(
    MessageCase{"DownloadTwo", A::Download, {L"D:\\a.txt", L"D:\\b.txt"},
                {"d6:actioni3e4:path8:D:\\a.txte", "d6:actioni3e4:lasti1e4:path8:D:\\b.txte"}},
    MessageCase{"ShareTwo", A::Share, {L"D:\\a.txt", L"D:\\b.txt"},
                {"d6:actioni7e5:filesl8:D:\\a.txt8:D:\\b.txte4:lasti1ee"}},
    MessageCase{"RemoveHere", A::RemoveFromThisDevice, {L"C:\\x"}, {"d6:actioni5e4:lasti1e4:path4:C:\\xe"}},
    MessageCase{"CancelThree", A::CancelDownload, {L"a", L"b", L"c"},
                {"d6:actioni4e4:path1:ae", "d6:actioni4e4:path1:be", "d6:actioni4e4:lasti1e4:path1:ce"}},
    // 8 UTF-16 units, 12 UTF-8 bytes: the length counts bytes.
    MessageCase{"NonAsciiCountsBytes", A::RemoveFromAllDevices, {L"D:\\Sync\\Gr\u00FC\u00DFe \U0001F600"},
                {"d6:actioni6e4:lasti1e4:path20:D:\\Sync\\Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80" "e"}},
    MessageCase{"UnreadableLeftOutLastStaysOnFinal", A::RemoveFromAllDevices, {L"a", L"", L"b", L""},
                {"d6:actioni6e4:path1:ae", "d6:actioni6e4:lasti1e4:path1:be"}},
    MessageCase{"ShareLeavesOutUnreadable", A::Share, {L"", L"a"}, {"d6:actioni7e5:filesl1:ae4:lasti1ee"}},
    MessageCase{"NoItems", A::Download, {}, {}}, MessageCase{"OnlyUnreadable", A::Download, {L""}, {}},
    MessageCase{"ShareOfNothing", A::Share, {}, {"d6:actioni7e5:filesle4:lasti1ee"}},
    MessageCase{"NotAnAction", static_cast<A>(2), {L"a"}, {}}),
    [](const auto& info) { return std::string(info.param.name); });
}  // namespace
