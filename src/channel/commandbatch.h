#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "channel/commandaction.h"
#include "channel/commandmessages.h"

// The longest path an item may have; a longer one would have been cut by
// the shell's own readers, so it is left out rather than sent.
inline constexpr size_t maxCommandPathChars = 32770;

// Builds the messages for the selected paths, in selection order, and hands
// them to a delivery thread. Empty and overlong paths are left out. S_OK in
// every case, also when nothing is sent.
HRESULT BuildCommandBatch(CommandAction action, std::vector<std::wstring> paths);
