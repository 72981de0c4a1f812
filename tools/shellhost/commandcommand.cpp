// shellhost command: the Windows 11 context menu of a selection, asked of
// the packaged top-level command the way Explorer asks it.
#include <windows.h>
#include <shellapi.h>
#include <shobjidl.h>
#include <wrl/client.h>

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "arguments.h"
#include "commands.h"
#include "console.h"
#include "extensionhost.h"
#include "shellselection.h"

using Microsoft::WRL::ComPtr;

namespace {

struct PackagedClass {
  unsigned index;
  const wchar_t* installation;
};
// The package declares one verb per installation, each with its own class;
// Explorer asks both and shows what they answer.
constexpr PackagedClass packagedClasses[] = {{0x10, L"per-user"}, {0x15, L"machine-wide"}};

// A string the object allocates, freed once read; ask(&text) is one of
// the command's text methods.
template <typename Ask>
std::wstring AskText(Ask ask) {
  LPWSTR text = nullptr;
  const HRESULT result = ask(&text);
  std::wstring value = SUCCEEDED(result) && text ? text : L"";
  CoTaskMemFree(text);
  return value;
}

const wchar_t* StateText(EXPCMDSTATE state) {
  if (state & ECS_HIDDEN) return L"hidden";
  if (state & ECS_DISABLED) return L"disabled";
  return L"enabled";
}

// What Explorer's first, quick question answered, and the state it decides on.
struct StateAnswer {
  HRESULT quick = E_FAIL;
  HRESULT result = E_FAIL;
  EXPCMDSTATE state = ECS_HIDDEN;

  bool Shown() const { return SUCCEEDED(result) && !(state & ECS_HIDDEN); }
  bool Usable() const { return Shown() && !(state & ECS_DISABLED); }
};

// Explorer asks without time first and again, allowed to be slow, when the
// command answers E_PENDING. On Windows the second question comes from a
// background thread; here both come from this one.
StateAnswer AskState(IExplorerCommand* command, IShellItemArray* items) {
  StateAnswer answer;
  answer.quick = command->GetState(items, FALSE, &answer.state);
  answer.result = answer.quick;
  if (answer.quick == E_PENDING) answer.result = command->GetState(items, TRUE, &answer.state);
  return answer;
}

std::wstring StateLine(const StateAnswer& answer) {
  std::wstring line = answer.quick == E_PENDING ? L"E_PENDING at first, then " : L"";
  line += SUCCEEDED(answer.result) ? StateText(answer.state) : L"fails (" + Hex(answer.result) + L")";
  return line;
}

// An icon location "path,-id" loads the way the shell loads it.
bool IconLoads(const std::wstring& location) {
  const size_t comma = location.rfind(L',');
  if (comma == std::wstring::npos || comma == 0) return false;
  const std::wstring file = location.substr(0, comma);
  wchar_t* end = nullptr;
  const long index = std::wcstol(location.c_str() + comma + 1, &end, 10);
  if (!end || *end != 0) return false;
  HICON small = nullptr;
  if (ExtractIconExW(file.c_str(), static_cast<int>(index), nullptr, &small, 1) == 0 || !small) return false;
  DestroyIcon(small);
  return true;
}

std::wstring IconText(const std::wstring& location) {
  if (location.empty()) return L"[no icon]";
  return IconLoads(location) ? L"[icon]" : L"[icon does not load]";
}

struct SubCommandRow {
  ComPtr<IExplorerCommand> command;
  std::wstring title;
  std::wstring toolTip;
  std::wstring icon;
  StateAnswer state;
};

std::vector<SubCommandRow> ListSubCommands(IExplorerCommand* topLevel, IShellItemArray* items, std::wstring& error) {
  std::vector<SubCommandRow> rows;
  ComPtr<IEnumExplorerCommand> enumerator;
  const HRESULT result = topLevel->EnumSubCommands(&enumerator);
  if (FAILED(result) || !enumerator) {
    error = L"EnumSubCommands fails (" + Hex(result) + L")";
    return rows;
  }
  // One at a time, as Explorer fetches them; a bound keeps a faulty
  // enumerator from running on.
  for (int count = 0; count < 64; ++count) {
    SubCommandRow row;
    ULONG fetched = 0;
    if (enumerator->Next(1, row.command.GetAddressOf(), &fetched) != S_OK || fetched != 1 || !row.command) break;
    IExplorerCommand* next = row.command.Get();
    row.title = AskText([&](LPWSTR* text) { return next->GetTitle(items, text); });
    row.toolTip = AskText([&](LPWSTR* text) { return next->GetToolTip(items, text); });
    row.icon = AskText([&](LPWSTR* text) { return next->GetIcon(items, text); });
    row.state = AskState(next, items);
    rows.push_back(std::move(row));
  }
  return rows;
}

void PrintTopLevel(IExplorerCommand* command, IShellItemArray* items) {
  const std::wstring title = AskText([&](LPWSTR* text) { return command->GetTitle(items, text); });
  const std::wstring icon = AskText([&](LPWSTR* text) { return command->GetIcon(items, text); });
  EXPCMDFLAGS flags = 0;
  command->GetFlags(&flags);
  std::wprintf(L"  \"%ls\" %ls%ls\n", title.c_str(), IconText(icon).c_str(),
               (flags & ECF_HASSUBCOMMANDS) ? L" opening:" : L" (no sub-commands)");
}

void PrintSubCommands(const std::vector<SubCommandRow>& rows) {
  unsigned position = 0;
  for (const SubCommandRow& row : rows) {
    ++position;
    std::wprintf(L"    %u. %-28ls %-9ls %ls", position, row.title.c_str(), StateLine(row.state).c_str(),
                 row.state.Shown() ? IconText(row.icon).c_str() : L"");
    if (row.state.Shown() && !row.toolTip.empty()) std::wprintf(L"  \"%ls\"", row.toolTip.c_str());
    std::wprintf(L"\n");
  }
}

int Invoke(const std::vector<SubCommandRow>& rows, IShellItemArray* items, const std::wstring& wanted) {
  wchar_t* end = nullptr;
  const unsigned long position = std::wcstoul(wanted.c_str(), &end, 10);
  if (!end || *end != 0 || position == 0 || position > rows.size())
    return UsageError(L"--invoke takes a sub-command's position, 1 to " + std::to_wstring(rows.size()));
  const SubCommandRow& row = rows[position - 1];
  if (!row.state.Usable())
    return Fail(L"the sub-command \"" + row.title + L"\" is " + StateLine(row.state) + L": Explorer would not offer it");
  const HRESULT result = row.command->Invoke(items, nullptr);
  std::wprintf(L"Invoke \"%ls\": %ls\n", row.title.c_str(), Hex(result).c_str());
  return FAILED(result) ? 1 : 0;
}

int RunCommand(const std::vector<std::wstring>& raw) {
  const Arguments arguments(raw, {L"--dll", L"--invoke"}, {});
  if (!arguments.Error().empty()) return UsageError(arguments.Error());
  if (arguments.Positional().empty()) return UsageError(L"command needs at least one PATH");
  ExtensionHost host(arguments.Value(L"--dll"));
  ShellSelection selection;
  std::wstring message;
  if (!selection.Build(arguments.Positional(), message)) return Fail(message);
  IShellItemArray* items = selection.Items();

  bool served = false;
  // The sub-commands of the first entry shown, which --invoke picks from.
  std::vector<SubCommandRow> shownRows;
  bool shown = false;
  for (const PackagedClass& packaged : packagedClasses) {
    std::wprintf(L"class %ls (%ls installation): ", ExtensionClassText(packaged.index).c_str(), packaged.installation);
    ComPtr<IExplorerCommand> topLevel;
    std::wstring error;
    if (FAILED(host.Create({packaged.index}, IID_IExplorerCommand, reinterpret_cast<void**>(topLevel.GetAddressOf()),
                           error))) {
      std::wprintf(L"not served: %ls\n", error.c_str());
      continue;
    }
    served = true;
    const StateAnswer state = AskState(topLevel.Get(), items);
    std::wprintf(L"%ls\n", StateLine(state).c_str());
    if (!state.Shown()) continue;
    PrintTopLevel(topLevel.Get(), items);
    std::vector<SubCommandRow> rows = ListSubCommands(topLevel.Get(), items, error);
    if (rows.empty()) std::wprintf(L"    (%ls)\n", error.empty() ? L"no sub-commands" : error.c_str());
    PrintSubCommands(rows);
    if (!shown) shownRows = std::move(rows);
    shown = true;
  }
  if (!served) return Fail(L"neither class of the packaged menu is served");
  if (!shown) std::wprintf(L"(Windows 11 shows no \"Tamvera Sync\" entry for this selection)\n");
  if (!arguments.Has(L"--invoke")) return 0;
  if (!shown) return Fail(L"nothing to invoke: the entry is hidden");
  const int status = Invoke(shownRows, items, arguments.Value(L"--invoke"));
  shownRows.clear();
  if (status != 0) return status;
  // The commands go out on the extension's own thread; stay until it ends.
  if (!WaitForDeliveries(deliveryWaitMs)) return Fail(L"the delivery did not end within 45 seconds");
  std::wprintf(L"delivery finished\n");
  return 0;
}

}  // namespace

const Command commandCommand = {
    L"command",
    L"  shellhost command PATH... [--invoke N] [--dll DLL]\n"
    L"      Asks the packaged top-level command of each installation for the\n"
    L"      selection, as the Windows 11 menu does: its state (a quick question,\n"
    L"      then a slow one after E_PENDING), title and icon, and its sub-commands\n"
    L"      with their titles, states, icons and tooltips. --invoke N invokes the\n"
    L"      Nth sub-command of the shown entry and waits for the delivery. The\n"
    L"      classes are declared by the package, not the registry: pass --dll.\n\n",
    &RunCommand,
};
