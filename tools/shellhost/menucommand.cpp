// shellhost menu: the context menu a user sees for a selection.
#include <cstdio>
#include <cwchar>

#include "arguments.h"
#include "commands.h"
#include "console.h"
#include "menupopup.h"
#include "menusession.h"

namespace {

void PrintMenu(const MenuSession& session) {
  const HRESULT result = session.QueryResult();
  std::wprintf(L"QueryContextMenu: %ls", Hex(result).c_str());
  if (SUCCEEDED(result)) std::wprintf(L" (claims %u command offsets)", HRESULT_CODE(result));
  std::wprintf(L"\n");
  if (session.Entries().empty()) std::wprintf(L"  (no entries)\n");
  for (const MenuEntry& entry : session.Entries()) {
    std::wprintf(L"  %u. %-28ls%ls%ls   [offset %u]\n", entry.position + 1, entry.text.c_str(),
                 entry.image ? L" [image]" : L"        ", entry.greyed ? L" (greyed)" : L"         ",
                 entry.offset);
  }
}

// The owner window's title: the item right-clicked, and how many more.
std::wstring SelectionTitle(const std::vector<std::wstring>& paths) {
  const std::wstring& first = paths.front();
  const size_t slash = first.find_last_of(L"\\/");
  std::wstring title = L"Right-click on " + (slash == std::wstring::npos ? first : first.substr(slash + 1));
  if (paths.size() > 1) title += L" and " + std::to_wstring(paths.size() - 1) + L" more";
  return title;
}

int Show(const MenuSession& session, const std::vector<std::wstring>& paths, const std::wstring& hold) {
  wchar_t* end = nullptr;
  const unsigned long seconds = std::wcstoul(hold.c_str(), &end, 10);
  if (!end || *end != 0 || seconds == 0 || seconds > 600) return UsageError(L"--hold takes 1 to 600 seconds");
  // Whoever waits for the popup reads the menu's lines first.
  std::fflush(stdout);
  const PopupResult popup = ShowPopupMenu(session.Handle(), SelectionTitle(paths), seconds * 1000);
  if (!popup.shown) return Fail(L"cannot show the menu: " + popup.message);
  if (popup.chosen) {
    std::wprintf(L"popup: the user picked offset %u (not invoked)\n", popup.chosen - MenuSession::idCmdFirst);
  } else {
    std::wprintf(L"popup: shown for %lu s, closed without a choice\n", seconds);
  }
  return 0;
}

int RunMenu(const std::vector<std::wstring>& raw) {
  const Arguments arguments(raw, {L"--dll", L"--hold"}, {L"--show"});
  if (!arguments.Error().empty()) return UsageError(arguments.Error());
  if (arguments.Positional().empty()) return UsageError(L"menu needs at least one PATH");
  ExtensionHost host(arguments.Value(L"--dll"));
  MenuSession session;
  std::wstring message;
  if (!session.Build(host, arguments.Positional(), message)) return Fail(message);
  PrintMenu(session);
  if (arguments.Has(L"--show")) return Show(session, arguments.Positional(), arguments.Value(L"--hold", L"8"));
  return 0;
}

}  // namespace

const Command menuCommand = {
    L"menu",
    L"  shellhost menu PATH... [--show [--hold SECONDS]] [--dll DLL]\n"
    L"      Builds the context menu of the selection (items of one folder) into a\n"
    L"      real menu and prints it: entries in order, [image] when the entry has a\n"
    L"      bitmap, (greyed) when it is disabled, and QueryContextMenu's result.\n"
    L"      --show also pops it up on the screen for SECONDS (8 unless given),\n"
    L"      beside a small window, as a right-click does; a pick is not invoked.\n\n",
    &RunMenu,
};
