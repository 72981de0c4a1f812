#include "localization/englishtexts.h"

#include <array>
#include <cstddef>
#include <cstdint>

#include "localization/texttable.h"

namespace {

struct EnglishText {
  uint16_t index;
  std::string_view text;
};

// Entries not listed here are empty. Each block of the application's
// components is kept in alphabetical order.
constexpr EnglishText englishTexts[] = {
    // Size units of the formatter's %z and %Z.
    {0, "B"},
    {1, "EB"},
    {2, "GB"},
    {3, "kB"},
    {4, "MB"},
    {5, "PB"},
    {6, "TB"},
    // Installer.
    {7, "Back"},
    {8, "Cancel"},
    {9, "Finish"},
    {10, "Installing %APPNAME%..."},
    {11, "Next"},
    {12, "Start %APPNAME% with Windows"},
    // Updater.
    {13, "A new version of %APPNAME% is available"},
    {14, "Cancel"},
    {15, "Daily\x01Weekly\x01Monthly\x01Never"},
    {16, "Downloading update..."},
    {17, "Install now"},
    {18, "Remind me later"},
    {19, "The update could not be installed.\nPlease try again later."},
    {20, "Version "},
    // Tray menu.
    {21, "Add folder"},
    {22, "Check for updates"},
    {23, "Exit"},
    {24, "Help"},
    {25, "Open %APPNAME%"},
    {26, "Open folder"},
    {27, "Pause syncing"},
    {28, "Resume syncing"},
    {29, "Settings"},
    // Notifications.
    {30, "All files are up to date"},
    {31, "Folder not found"},
    {32, "No connection to other devices"},
    {33, "Not enough free disk space"},
    {34, "Sync paused"},
    // Explorer menu.
    {258, "Cancel receiving"},
    {259, "Remove from all devices"},
    {260, "Remove from this device"},
    {261, "Share with %APPNAME%"},
    {262, "Sync to this device"},
    // Network and exception messages.
    {263, "Access denied"},
    {264, "An unexpected error occurred"},
    {265, "Could not connect to the relay server"},
    {266, "The connection timed out"},
    {267, "The file is in use by another program"},
};

consteval size_t BlockSize() {
  size_t size = textCount;
  for (const EnglishText& entry : englishTexts) size += entry.text.size();
  return size;
}

consteval bool TextsAreWellFormed() {
  int previous = -1;
  for (const EnglishText& entry : englishTexts) {
    if (entry.index <= previous || entry.index >= textCount) return false;
    if (entry.text.find('\0') != std::string_view::npos) return false;
    previous = entry.index;
  }
  return true;
}
static_assert(TextsAreWellFormed(), "English texts must be in index order, below textCount, without NUL");

consteval std::array<char, BlockSize()> BuildBlock() {
  std::array<char, BlockSize()> block{};
  size_t position = 0;
  size_t next = 0;
  for (size_t index = 0; index < textCount; ++index) {
    if (next < std::size(englishTexts) && englishTexts[next].index == index) {
      for (char c : englishTexts[next].text) block[position++] = c;
      ++next;
    }
    block[position++] = '\0';
  }
  return block;
}

constexpr std::array<char, BlockSize()> englishBlock = BuildBlock();

}  // namespace

std::string_view EnglishTextBlock() { return {englishBlock.data(), englishBlock.size()}; }
