#pragma once
// The "action" value of a command message.
enum class CommandAction : int { Download = 3, CancelDownload = 4, RemoveFromThisDevice = 5, RemoveFromAllDevices = 6, Share = 7 };
