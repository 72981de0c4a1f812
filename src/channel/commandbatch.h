#pragma once
#include <windows.h>
#include <shellapi.h>

#include "channel/commandaction.h"
#include "channel/commandmessages.h"

// Builds the messages for the selection (drop list and item count) and hands
// them to a delivery thread. S_OK in every case, also when nothing is sent.
HRESULT BuildCommandBatch(CommandAction action, HDROP drop, UINT count);
