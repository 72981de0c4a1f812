// shellhost invoke: picks an entry of the context menu and runs it.
#include <cstdio>
#include <cwchar>
#include <cwctype>

#include "arguments.h"
#include "commands.h"
#include "console.h"
#include "menusession.h"

namespace {

bool SameText(const std::wstring& a, const std::wstring& b) { return _wcsicmp(a.c_str(), b.c_str()) == 0; }

// ENTRY is the entry's text (letter case ignored) or its position from 1.
const MenuEntry* FindEntry(const std::vector<MenuEntry>& entries, const std::wstring& entry) {
  for (const MenuEntry& candidate : entries)
    if (SameText(candidate.text, entry)) return &candidate;
  wchar_t* end = nullptr;
  const unsigned long position = std::wcstoul(entry.c_str(), &end, 10);
  if (end && *end == 0 && end != entry.c_str())
    for (const MenuEntry& candidate : entries)
      if (candidate.position + 1 == position) return &candidate;
  return nullptr;
}

int RunInvoke(const std::vector<std::wstring>& raw) {
  const Arguments arguments(raw, {L"--dll"}, {});
  if (!arguments.Error().empty()) return UsageError(arguments.Error());
  if (arguments.Positional().size() < 2) return UsageError(L"invoke needs an ENTRY and at least one PATH");
  const std::wstring wanted = arguments.Positional().front();
  const std::vector<std::wstring> paths(arguments.Positional().begin() + 1, arguments.Positional().end());

  ExtensionHost host(arguments.Value(L"--dll"));
  std::wstring message;
  {
    MenuSession session;
    if (!session.Build(host, paths, message)) return Fail(message);
    const MenuEntry* entry = FindEntry(session.Entries(), wanted);
    if (!entry) return Fail(L"the menu has no entry \"" + wanted + L"\"");
    if (entry->greyed) return Fail(L"the entry \"" + entry->text + L"\" is greyed");
    CMINVOKECOMMANDINFO info{};
    info.cbSize = sizeof info;
    info.lpVerb = MAKEINTRESOURCEA(entry->offset);
    info.nShow = SW_SHOWNORMAL;
    const HRESULT result = session.Menu()->InvokeCommand(&info);
    std::wprintf(L"InvokeCommand \"%ls\": %ls\n", entry->text.c_str(), Hex(result).c_str());
    if (FAILED(result)) return 1;
  }
  // The commands go out on the extension's own thread; stay until it ends.
  if (!WaitForDeliveries(deliveryWaitMs)) return Fail(L"the delivery did not end within 45 seconds");
  std::wprintf(L"delivery finished\n");
  return 0;
}

}  // namespace

const Command invokeCommand = {
    L"invoke",
    L"  shellhost invoke ENTRY PATH... [--dll DLL]\n"
    L"      Builds the context menu of the selection and invokes the entry named\n"
    L"      by its text (letter case ignored) or its position from 1, then waits\n"
    L"      for the extension to deliver the commands to the application.\n\n",
    &RunInvoke,
};
