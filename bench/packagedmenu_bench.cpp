// The Windows 11 right-click through the built DLL, as Explorer makes it on
// the packaged menu: the top-level command from the factory, its quick state
// on Explorer's thread and, when that is pending, the slow one; then the five
// sub-commands with their titles, icons and states; the final Release. Each
// beside the classic right-click of the same items (the floor): the packaged
// menu decides with the same scan, so it should cost little more. Also the
// quick state alone, the part Explorer's own thread waits for.
#include <windows.h>
#include <shobjidl.h>

#include <cstdio>
#include <string>
#include <vector>

#include "support/benchreport.h"
#include "support/shellfixture.h"
#include "support/shellitems.h"

namespace {

const CLSID userCommandClass = TestClassId(0x10);

ComPtr<IExplorerCommand> NewCommand(const DllUnderTest& dll) {
  ComPtr<IExplorerCommand> command;
  dll.CreateObject(userCommandClass, IID_PPV_ARGS(&command));
  return command;
}

void FreeText(HRESULT result, LPWSTR text) {
  if (SUCCEEDED(result)) CoTaskMemFree(text);
}

// The state Explorer ends with: the quick answer, or the slow one after it.
EXPCMDSTATE TopState(IExplorerCommand* top, IShellItemArray* items) {
  EXPCMDSTATE state = ECS_HIDDEN;
  if (top->GetState(items, FALSE, &state) == E_PENDING) top->GetState(items, TRUE, &state);
  return state;
}

// The whole packaged right-click; the sub-commands shown, or -1 on a failure.
int PackagedRightClick(const DllUnderTest& dll, IShellItemArray* items) {
  ComPtr<IExplorerCommand> top = NewCommand(dll);
  if (!top) return -1;
  if (TopState(top.Get(), items) != ECS_ENABLED) return 0;
  LPWSTR text = nullptr;
  FreeText(top->GetTitle(items, &text), text);
  FreeText(top->GetIcon(items, &text), text);
  ComPtr<IEnumExplorerCommand> walk;
  if (FAILED(top->EnumSubCommands(&walk)) || !walk) return -1;
  int shown = 0;
  IExplorerCommand* sub = nullptr;
  while (walk->Next(1, &sub, nullptr) == S_OK) {
    EXPCMDSTATE state = ECS_HIDDEN;
    sub->GetState(items, TRUE, &state);
    if (state != ECS_HIDDEN) {
      ++shown;
      FreeText(sub->GetTitle(items, &text), text);
      FreeText(sub->GetIcon(items, &text), text);
    }
    sub->Release();
  }
  return shown;
}

// The quick state of a fresh command: what Explorer's thread waits for.
void QuickState(const DllUnderTest& dll, IShellItemArray* items) {
  ComPtr<IExplorerCommand> top = NewCommand(dll);
  EXPCMDSTATE state = ECS_HIDDEN;
  if (top) top->GetState(items, FALSE, &state);
}

struct PackagedCase {
  const char* name;
  const char* size;
  std::vector<std::wstring> paths;
  // Entries shown; more where the budget leaves items unread, since those
  // count as every kind.
  int entries;
};

}  // namespace

int main() {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  TempFolder folder;
  CreateFolder(folder.Path() + L"\\app");
  RunningApplication application(folder.Path() + L"\\app");
  if (!application.Ready()) return 1;

  const BenchSelections selections = MakeBenchSelections(folder.Path());
  const std::vector<std::wstring>& mixed = selections.mixed;

  const std::vector<PackagedCase> cases = {
      {"1 file in selective folder", "1 item", {mixed[50]}, 3},
      {"1 placeholder in selective folder", "1 item", {mixed[52]}, 3},
      {"1,000 mixed (decided early)", "1,000 items", mixed, 5},
      {"1,000 none receiving (all read)", "1,000 items", selections.noDownload, 4},
      {"1 file outside sync folders", "1 item", {selections.outsideFile}, 1},
  };

  DllUnderTest dll;
  if (!dll.Module()) return 1;
  int status = 0;
  for (const PackagedCase& packagedCase : cases) {
    ComPtr<IShellItemArray> items = ShellItemArrayOf(packagedCase.paths);
    ComPtr<IDataObject> selection = DropDataObject(packagedCase.paths);
    if (!items || !selection) return 1;
    const int shown = PackagedRightClick(dll, items.Get());
    const bool large = packagedCase.paths.size() > 1;
    if (large ? shown < packagedCase.entries || shown > 5 : shown != packagedCase.entries) {
      fprintf(stderr, "%s: the packaged menu shows %d entries, not %d\n", packagedCase.name, shown,
              packagedCase.entries);
      status = 1;
    }
    const std::vector<double> medians = InterleavedMedians(
        {[&] { PackagedRightClick(dll, items.Get()); }, [&] { RightClick(dll, selection.Get()); },
         [&] { QuickState(dll, items.Get()); }},
        large ? 7 : 15, large ? 1 : 20);
    ReportTimedRow("packaged right-click", packagedCase.name, packagedCase.size, medians[0], medians[1], 0);
    const std::string quick = std::string(packagedCase.name) + ", quick state alone";
    ReportTimedRow("packaged right-click", quick.c_str(), packagedCase.size, medians[2], medians[1], 0);
  }
  // What the shell takes to name one item: the packaged menu pays it for
  // every item it reads, where the classic one gets the names in one list.
  {
    ComPtr<IShellItemArray> items = ShellItemArrayOf({mixed[50]});
    if (!items) return 1;
    const std::vector<double> medians = InterleavedMedians({[&] {
                                                              ComPtr<IShellItem> item;
                                                              LPWSTR path = nullptr;
                                                              if (SUCCEEDED(items->GetItemAt(0, &item)))
                                                                FreeText(item->GetDisplayName(SIGDN_FILESYSPATH, &path),
                                                                         path);
                                                            }},
                                                           15, 20);
    ReportTimedRow("packaged right-click", "part: one item's file-system path from the shell", "1 item", medians[0], 0,
                   0);
  }
  return status;
}
