#pragma once
// The five entries the menu can offer and what each one sends.
#include <windows.h>

#include <string>

#include "channel/commandaction.h"
#include "contextmenu/menudecision.h"

struct MenuCommand {
  UINT id;             // offset from idCmdFirst
  UINT bitmapSlot;     // index into the menu object's bitmaps
  UINT textNumber;     // entry of the text table
  MenuEntry entry;
  CommandAction action;
  const wchar_t* addedLogLine;
  std::string narrowText;  // UTF-8 form of wideText
  std::wstring wideText;
};

// Offsets 0 to 5 are claimed; 0 is never used for an entry.
inline constexpr UINT menuCommandOffsetCount = 6;

// Its texts are empty until FillMenuTextsOnce.
const MenuCommand& MenuCommandFor(MenuEntry entry);
// Null when no command has this offset.
const MenuCommand* FindMenuCommand(UINT_PTR offset);

// Loads the user's language and copies the texts into the table, once per
// process. A thread that arrives while another fills them waits for it.
void FillMenuTextsOnce();
