#include "contextmenu/menucommands.h"

#include <array>

#include "localization/languagepack.h"
#include "localization/texttable.h"
#include "util/textconv.h"

namespace {

// Ids follow the table order from 1.
std::array<MenuCommand, 5> commands{{
    {1, 0, 261, MenuEntry::Share, CommandAction::Share, L"Added menu item - share with sync", {}, {}},
    {2, 0, 262, MenuEntry::Download, CommandAction::Download, L"Added menu item - download", {}, {}},
    {3, 0, 258, MenuEntry::CancelDownload, CommandAction::CancelDownload, L"Added menu item - cancel downloading",
     {}, {}},
    {4, 1, 260, MenuEntry::RemoveFromDevice, CommandAction::RemoveFromThisDevice,
     L"Added menu item - remove from this", {}, {}},
    {5, 2, 259, MenuEntry::RemoveFromAllDevices, CommandAction::RemoveFromAllDevices,
     L"Added menu item - remove from all", {}, {}},
}};

INIT_ONCE textsOnce = INIT_ONCE_STATIC_INIT;

BOOL CALLBACK FillTexts(INIT_ONCE*, void*, void**) {
  try {
    LoadTextsOnce();
    for (MenuCommand& command : commands) {
      command.wideText = GetText(command.textNumber);
      command.narrowText = Utf16ToUtf8(command.wideText.c_str());
    }
    return TRUE;
  } catch (...) {
    // Leave the one-time step open: the next menu object tries again.
    for (MenuCommand& command : commands) {
      command.wideText.clear();
      command.narrowText.clear();
    }
    return FALSE;
  }
}

}  // namespace

const MenuCommand& MenuCommandFor(MenuEntry entry) { return commands[static_cast<size_t>(entry)]; }

const MenuCommand* FindMenuCommand(UINT_PTR offset) {
  for (const MenuCommand& command : commands)
    if (command.id == offset) return &command;
  return nullptr;
}

void FillMenuTextsOnce() { InitOnceExecuteOnce(&textsOnce, &FillTexts, nullptr, nullptr); }
