#pragma once
#include <windows.h>
#include <shellapi.h>

#include <deque>
#include <memory>

#include "channel/commandaction.h"

class BencodedDict;

// The messages of one menu choice, in sending order; owned by one thread at
// a time.
using CommandBatch = std::deque<std::unique_ptr<BencodedDict>>;

// Builds the messages for the selection (drop list and item count) and hands
// them to a delivery thread. S_OK in every case, also when nothing is sent.
HRESULT BuildCommandBatch(CommandAction action, HDROP drop, UINT count);
