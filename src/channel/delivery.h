#pragma once
#include <string>

#include "channel/commandbatch.h"

// What a delivery thread does, run on the calling thread: starts the per-user
// application when no pipe is named and waits for it, then writes each
// message of the batch to the pipe as one pipe message. Never throws.
void DeliverCommands(std::wstring pipeName, CommandBatch batch) noexcept;
