// The command messages of each menu action, byte for byte as they go on the
// wire.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "channel/bencencode.h"
#include "channel/commandmessages.h"

namespace {

std::vector<std::string> Encode(const CommandBatch& batch) {
  std::vector<std::string> wire;
  for (const auto& message : batch) wire.emplace_back(BencEncode(*message).View());
  return wire;
}

struct MessageCase {
  const char* name;
  CommandAction action;
  std::vector<std::wstring> paths;
  std::vector<std::string> wire;
};

class CommandMessages : public ::testing::TestWithParam<MessageCase> {};

TEST_P(CommandMessages, EncodeExactly) {
  const MessageCase& c = GetParam();
  EXPECT_EQ(Encode(MakeCommandBatch(c.action, c.paths)), c.wire);
}

// "Grüße 😀" is 8 UTF-16 units but 12 UTF-8 bytes; the length counts bytes.
const std::wstring unicodePath = L"D:\\Sync\\Gr\u00FC\u00DFe \U0001F600";

INSTANTIATE_TEST_SUITE_P(
    Actions, CommandMessages,
    ::testing::Values(
        MessageCase{"DownloadTwo",
                    CommandAction::Download,
                    {L"D:\\Sync\\a.txt", L"D:\\Sync\\b.txt"},
                    {"d6:actioni3e4:path13:D:\\Sync\\a.txte", "d6:actioni3e4:lasti1e4:path13:D:\\Sync\\b.txte"}},
        MessageCase{"ShareTwo",
                    CommandAction::Share,
                    {L"D:\\Sync\\a.txt", L"D:\\Sync\\b.txt"},
                    {"d6:actioni7e5:filesl13:D:\\Sync\\a.txt13:D:\\Sync\\b.txte4:lasti1ee"}},
        MessageCase{"RemoveHereOne",
                    CommandAction::RemoveFromThisDevice,
                    {L"C:\\x"},
                    {"d6:actioni5e4:lasti1e4:path4:C:\\xe"}},
        MessageCase{"CancelThree",
                    CommandAction::CancelDownload,
                    {L"a", L"b", L"c"},
                    {"d6:actioni4e4:path1:ae", "d6:actioni4e4:path1:be", "d6:actioni4e4:lasti1e4:path1:ce"}},
        MessageCase{"NonAsciiCountsBytes",
                    CommandAction::RemoveFromAllDevices,
                    {unicodePath},
                    {"d6:actioni6e4:lasti1e4:path20:D:\\Sync\\Gr\xC3\xBC\xC3\x9F" "e \xF0\x9F\x98\x80" "e"}},
        // An unreadable item (empty path) is left out; "last" still ends
        // the batch.
        MessageCase{"UnreadableItemsLeftOut",
                    CommandAction::RemoveFromAllDevices,
                    {L"a", L"", L"b", L""},
                    {"d6:actioni6e4:path1:ae", "d6:actioni6e4:lasti1e4:path1:be"}},
        MessageCase{"ShareLeavesOutUnreadable",
                    CommandAction::Share,
                    {L"", L"a"},
                    {"d6:actioni7e5:filesl1:ae4:lasti1ee"}},
        MessageCase{"NoItems", CommandAction::Download, {}, {}},
        MessageCase{"OnlyUnreadableItems", CommandAction::Download, {L""}, {}},
        MessageCase{"ShareOfNothing", CommandAction::Share, {}, {"d6:actioni7e5:filesle4:lasti1ee"}},
        MessageCase{"NotAnAction", static_cast<CommandAction>(2), {L"a"}, {}}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
