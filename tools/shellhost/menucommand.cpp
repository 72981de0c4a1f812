// shellhost menu: the context menu a user sees for a selection.
#include <cstdio>

#include "arguments.h"
#include "commands.h"
#include "console.h"
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

int RunMenu(const std::vector<std::wstring>& raw) {
  const Arguments arguments(raw, {L"--dll"}, {});
  if (!arguments.Error().empty()) return UsageError(arguments.Error());
  if (arguments.Positional().empty()) return UsageError(L"menu needs at least one PATH");
  ExtensionHost host(arguments.Value(L"--dll"));
  MenuSession session;
  std::wstring message;
  if (!session.Build(host, arguments.Positional(), message)) return Fail(message);
  PrintMenu(session);
  return 0;
}

}  // namespace

const Command menuCommand = {
    L"menu",
    L"  shellhost menu PATH... [--dll DLL]\n"
    L"      Builds the context menu of the selection (items of one folder) into a\n"
    L"      real menu and prints it: entries in order, [image] when the entry has a\n"
    L"      bitmap, (greyed) when it is disabled, and QueryContextMenu's result.\n\n",
    &RunMenu,
};
