#pragma once
// The command messages of a menu choice, built from the selected paths.
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "bencode/bencodeddict.h"
#include "channel/commandaction.h"

// The messages of one menu choice, in sending order; owned by one thread at
// a time.
using CommandBatch = std::deque<std::unique_ptr<BencodedDict>>;

bool IsCommandAction(CommandAction action);

// One message per path for Download to RemoveFromAllDevices, the last of them
// marked with "last"; one message listing every path for Share. Empty paths
// (items whose path could not be read) are left out. Throws std::bad_alloc
// rather than hand out a message that lacks part of its content.
CommandBatch MakeCommandBatch(CommandAction action, const std::vector<std::wstring>& paths);
