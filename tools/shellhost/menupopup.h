#pragma once
#include <windows.h>

#include <string>

// Pops a built menu up on the screen, as Explorer does on a right-click:
// a real popup menu (TrackPopupMenuEx) beside a small owner window whose
// title names the selection. It closes by itself after holdMs, so that a
// screenshot can be taken meanwhile; nothing chosen is invoked.
struct PopupResult {
  bool shown = false;
  UINT chosen = 0;  // the command id a user picked, 0 when none
  std::wstring message;  // why it could not be shown
};

PopupResult ShowPopupMenu(HMENU menu, const std::wstring& title, DWORD holdMs);
