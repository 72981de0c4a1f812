// Ten thousand full uses of each object through the built DLL leave the
// process where they found it: no GDI object, DC, icon or GDI+ object the
// DLL made stays alive past a cycle, and the handle count and the commit
// charge stay flat. Wine reports no GDI or USER object counts
// (GetGuiResources gives 0 there), so the DLL's own creations are counted
// through its import table, as the icon tests do.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "support/fakeapp.h"
#include "hostile/hostilesupport.h"
#include "support/logfiles.h"
#include "support/importhook.h"
#include "support/testfiles.h"

namespace {

constexpr int cycles = 10000;
constexpr int warmUpCycles = 100;

// Objects the DLL created through its imports and neither destroyed nor
// handed to the caller.
std::set<void*> liveObjects;

void Born(void* object) {
  if (object) liveObjects.insert(object);
}
void Gone(void* object) { liveObjects.erase(object); }

using namespace Gdiplus;
using namespace Gdiplus::DllExports;

// Every import counted: its library, its name and how its replacement
// counts. Result: the object is the result; HandsOut<n>: a GDI+ creation
// hands the object out through its n-th argument; Destroys<n>: the n-th
// argument is an object destroyed.
#define COUNTED_IMPORTS(X)                                   \
  X("user32.dll", CreateIconIndirect, Result)                \
  X("user32.dll", GetIconInfo, IconBitmaps)                  \
  X("shell32.dll", DuplicateIcon, Result)                    \
  X("shell32.dll", SHGetFileInfoW, FileIcon)                 \
  X("gdi32.dll", CreateDIBSection, Result)                   \
  X("gdi32.dll", CreateBitmap, Result)                       \
  X("user32.dll", LoadImageW, Result)                        \
  X("gdi32.dll", CreateCompatibleDC, Result)                 \
  X("user32.dll", GetDC, Result)                             \
  X("user32.dll", DestroyIcon, Destroys<0>)                  \
  X("gdi32.dll", DeleteObject, Destroys<0>)                  \
  X("gdi32.dll", DeleteDC, Destroys<0>)                      \
  X("user32.dll", ReleaseDC, Destroys<1>)                    \
  X("gdiplus.dll", GdipCreateBitmapFromScan0, HandsOut<5>)   \
  X("gdiplus.dll", GdipCreateBitmapFromHBITMAP, HandsOut<2>) \
  X("gdiplus.dll", GdipCloneImage, HandsOut<1>)              \
  X("gdiplus.dll", GdipCloneBitmapAreaI, HandsOut<6>)        \
  X("gdiplus.dll", GdipCreateHBITMAPFromBitmap, HandsOut<1>) \
  X("gdiplus.dll", GdipGetImageGraphicsContext, HandsOut<1>) \
  X("gdiplus.dll", GdipCreateSolidFill, HandsOut<1>)         \
  X("gdiplus.dll", GdipCloneBrush, HandsOut<1>)              \
  X("gdiplus.dll", GdipCreatePen1, HandsOut<3>)              \
  X("gdiplus.dll", GdipDisposeImage, Destroys<0>)            \
  X("gdiplus.dll", GdipDeleteGraphics, Destroys<0>)          \
  X("gdiplus.dll", GdipDeleteBrush, Destroys<0>)             \
  X("gdiplus.dll", GdipDeletePen, Destroys<0>)

// The originals the hooks replaced, one slot per import.
#define IMPORT_INDEX(library, function, counting) function##Import,
enum Import { COUNTED_IMPORTS(IMPORT_INDEX) importCount };
#undef IMPORT_INDEX
void* originals[importCount];

// The counting replacements of one import; only the one its row names is
// instantiated.
template <Import index, typename F>
struct Counting;
template <Import index, typename R, typename... A>
struct Counting<index, R(WINAPI*)(A...)> {
  static R Original(A... args) { return reinterpret_cast<R(WINAPI*)(A...)>(originals[index])(args...); }
  static R WINAPI Result(A... args) {
    const R object = Original(args...);
    Born(object);
    return object;
  }
  template <size_t at>
  static R WINAPI HandsOut(A... args) {
    const R status = Original(args...);
    if (status == Ok) Born(*std::get<at>(std::tie(args...)));
    return status;
  }
  template <size_t at>
  static R WINAPI Destroys(A... args) {
    Gone(std::get<at>(std::tie(args...)));
    return Original(args...);
  }
  // GetIconInfo: both bitmaps of the filled ICONINFO.
  static R WINAPI IconBitmaps(HICON icon, PICONINFO info) {
    const R result = Original(icon, info);
    if (result) Born(info->hbmColor), Born(info->hbmMask);
    return result;
  }
  // SHGetFileInfoW: the icon, when one was asked for.
  static R WINAPI FileIcon(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT size, UINT flags) {
    const R result = Original(path, attributes, info, size, flags);
    if (result && (flags & SHGFI_ICON)) Born(info->hIcon);
    return result;
  }
};

struct ImportEntry {
  const char* library;
  const char* name;
  void* counter;
};

#define IMPORT_ENTRY(library, function, counting) \
  {library, #function, reinterpret_cast<void*>(&Counting<function##Import, decltype(&function)>::counting)},
const ImportEntry importTable[importCount] = {COUNTED_IMPORTS(IMPORT_ENTRY)};
#undef IMPORT_ENTRY
#undef COUNTED_IMPORTS

struct Counters {
  DWORD handles = 0, gdiObjects = 0, userObjects = 0;
  size_t commitKiB = 0, workingSetKiB = 0;
};

// Wine answers GetProcessHandleCount with nothing, so the handles are
// counted by asking after every value a handle of this process can have.
DWORD CountOpenHandles() {
  DWORD count = 0;
  if (GetProcessHandleCount(GetCurrentProcess(), &count) && count != 0) return count;
  for (uintptr_t value = 4; value < 0x20000; value += 4) {
    DWORD flags = 0;
    if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++count;
  }
  return count;
}

Counters ReadCounters() {
  Counters counters;
  counters.handles = CountOpenHandles();
  counters.gdiObjects = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  counters.userObjects = GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS);
  PROCESS_MEMORY_COUNTERS memory{};
  GetProcessMemoryInfo(GetCurrentProcess(), &memory, sizeof memory);
  // Wine fills PagefileUsage (its PrivateUsage stays 0); Windows keeps the
  // two equal.
  counters.commitKiB = memory.PagefileUsage / 1024;
  counters.workingSetKiB = memory.WorkingSetSize / 1024;
  return counters;
}

class Leaks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(dll.Module(), nullptr);
    for (size_t index = 0; index < importCount; ++index) {
      const ImportEntry& entry = importTable[index];
      hooks.push_back(std::make_unique<ImportHook>(dll.Module(), entry.library, entry.name, entry.counter));
      ASSERT_TRUE(hooks.back()->Installed()) << entry.name;
      originals[index] = hooks.back()->Original();
    }
  }
  void TearDown() override {
    EXPECT_TRUE(WaitUntil([&] { return dll.CanUnloadNow() == S_OK; }, 60000));
    hooks.clear();
  }

  // Runs the cycles; every one must leave no object of the DLL alive, and
  // the counters may not grow beyond a small constant on top of what the
  // platform itself keeps for the same number of floor() calls.
  void RunCycles(const char* object, const std::function<void(int cycle)>& cycle,
                 const std::function<void()>& floor = {}) {
    size_t floorKiB = 0;
    if (floor) {
      for (int number = 0; number < warmUpCycles; ++number) floor();
      const size_t before = ReadCounters().commitKiB;
      for (int number = 0; number < cycles; ++number) floor();
      floorKiB = ReadCounters().commitKiB - std::min(before, ReadCounters().commitKiB);
    }
    for (int number = 0; number < warmUpCycles; ++number) cycle(number);
    WaitUntil([&] { return dll.CanUnloadNow() == S_OK; }, 60000);
    liveObjects.clear();
    const Counters start = ReadCounters();
    Counters middle;
    const ULONGLONG started = GetTickCount64();
    for (int number = 0; number < cycles; ++number) {
      cycle(number);
      // What the module shares between objects (menu bitmaps, icon images)
      // goes once it may unload; anything left after that is a leak.
      if (!liveObjects.empty()) WaitUntil([&] { return dll.CanUnloadNow() == S_OK; }, 60000);
      ASSERT_TRUE(liveObjects.empty()) << "cycle " << number << " left " << liveObjects.size() << " objects";
      if (number == cycles / 2) {
        WaitUntil([&] { return dll.CanUnloadNow() == S_OK; }, 60000);
        middle = ReadCounters();
      }
    }
    WaitUntil([&] { return dll.CanUnloadNow() == S_OK; }, 60000);
    const Counters end = ReadCounters();
    std::printf(
        "%s: %d cycles in %llu s; handles %lu/%lu/%lu, GDI objects %lu/%lu/%lu, USER objects %lu/%lu/%lu, "
        "commit KiB %zu/%zu/%zu (the platform's own floor: +%zu), working set KiB %zu/%zu/%zu "
        "(start/middle/end); objects left 0\n",
        object, cycles, (GetTickCount64() - started) / 1000, start.handles, middle.handles, end.handles,
        start.gdiObjects, middle.gdiObjects, end.gdiObjects, start.userObjects, middle.userObjects, end.userObjects,
        start.commitKiB, middle.commitKiB, end.commitKiB, floorKiB, start.workingSetKiB, middle.workingSetKiB,
        end.workingSetKiB);
    EXPECT_LE(end.handles, start.handles + 40);
    EXPECT_LE(end.handles, middle.handles + 20) << "still growing";
    EXPECT_LE(end.gdiObjects, start.gdiObjects + 10);
    EXPECT_LE(end.userObjects, start.userObjects + 10);
    // 2 MiB over ten thousand cycles: a leak of 200 bytes a cycle shows.
    EXPECT_LE(end.commitKiB, start.commitKiB + floorKiB + 2 * 1024);
  }

  DllUnderTest dll;
  std::vector<std::unique_ptr<ImportHook>> hooks;
  TempFolder folder;
  // Logging every cycle would fill the log other tests read.
  LogSwitch logSwitch{HKEY_CURRENT_USER};
};

TEST_F(Leaks, ContextMenuCyclesLeaveNothingBehind) {
  logSwitch.SetDword(0);
  InstallLocationKey userInstall(HKEY_CURRENT_USER, folder.Path());
  FakeSyncApp app;
  ASSERT_TRUE(app.WaitReady());
  const std::wstring root = folder / L"Sync";
  MakeSyncRoot(root, FolderRecord(2, 1, CurrentUser()));
  const std::vector<std::wstring> paths = {root + L"\\a.txt", root + L"\\w.docx.tmvs", root + L"\\r.docx.tmvs",
                                           root + L"\\Docs"};
  WriteBytes(paths[0], "content");
  MakePlaceholder(paths[1], "de");
  MakePlaceholder(paths[2], "d10:kvx_statusi40ee");
  CreateFolder(paths[3]);
  const ComPtr<IDataObject> selection = DropDataObject(paths);
  RunCycles(
      "context menu",
      [&](int number) {
        ComPtr<IClassFactory> factory;
        ASSERT_EQ(dll.GetClassObject(TestClassId(number % 2 ? 0 : 5), IID_PPV_ARGS(&factory)), S_OK);
        ComPtr<IContextMenu> menu;
        ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&menu)), S_OK);
        ComPtr<IShellExtInit> init;
        ASSERT_EQ(menu.As(&init), S_OK);
        ASSERT_EQ(init->Initialize(nullptr, selection.Get(), nullptr), S_OK);
        HMENU popup = CreatePopupMenu();
        ASSERT_EQ(menu->QueryContextMenu(popup, 0, 1, 0x7FFF, CMF_NORMAL), MAKE_HRESULT(SEVERITY_SUCCESS, 0, 6));
        wchar_t wide[64];
        char narrow[64];
        menu->GetCommandString(1 + number % 5, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(wide), 64);
        menu->GetCommandString(1 + number % 5, GCS_HELPTEXTA, nullptr, narrow, 64);
        ASSERT_EQ(InvokeOffset(menu.Get(), 1 + number % 5), S_OK);
        DestroyMenu(popup);
      },
      [&] {
        // Wine keeps about a hundred bytes for every icon loaded from resources
        // and destroyed again; each menu loads its four.
        const int side = GetSystemMetrics(SM_CXMENUCHECK);
        for (const WORD group : {107, 108, 109, 110})
          DestroyIcon(static_cast<HICON>(LoadImageW(dll.Module(), MAKEINTRESOURCEW(group), IMAGE_ICON, side, side, 0)));
      });
  std::printf("%zu messages delivered\n", app.Received().size());
}

TEST_F(Leaks, IconCyclesLeaveNothingBehind) {
  logSwitch.SetDword(0);
  MakeSyncRoot(folder / L"sync", "d4:modei1ee");
  std::vector<std::wstring> paths;
  for (const auto& [name, state] : {std::pair{L"sync\\report.docx.tmvs", "d10:kvx_statusi55ee"},
                                    {L"sync\\photo.PNG.tmvs", "d10:kvx_statusi100ee"},
                                    {L"sync\\notes.txt.tmvs", "de"},
                                    {L"sync\\Albums.tmvs", "d8:kvx_typei2e10:kvx_statusi35ee"},
                                    {L"plain.bin.tmvs", "d10:kvx_statusi0ee"},
                                    {L"sync\\missing.doc.tmvs", nullptr}}) {
    paths.push_back(folder / name);
    if (state) MakePlaceholder(paths.back(), state);
  }
  const UINT sizes[] = {MAKELONG(0, 16), MAKELONG(256, 16), MAKELONG(32, 32), MAKELONG(48, 48)};
  RunCycles("icon", [&](int number) {
    ComPtr<IClassFactory> factory;
    ASSERT_EQ(dll.GetClassObject(TestClassId(number % 2 ? 1 : 6), IID_PPV_ARGS(&factory)), S_OK);
    ComPtr<IPersistFile> file;
    ASSERT_EQ(factory->CreateInstance(nullptr, IID_PPV_ARGS(&file)), S_OK);
    ComPtr<IExtractIconW> extract;
    ASSERT_EQ(file->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(extract.GetAddressOf())), S_OK);
    const std::wstring& path = paths[number % paths.size()];
    ASSERT_EQ(file->Load(path.c_str(), STGM_READ), S_OK);
    wchar_t location[MAX_PATH] = {};
    int index = 0;
    UINT flags = 0;
    extract->GetIconLocation(GIL_FORSHELL, location, MAX_PATH, &index, &flags);
    HICON large = nullptr, small = nullptr;
    ASSERT_EQ(extract->Extract(path.c_str(), 0, &large, (number / 6) % 3 ? &small : nullptr, sizes[(number / 6) % 4]),
              S_OK);
    for (HICON icon : {large, small}) {
      Gone(icon);  // handed out: the caller's to destroy
      if (icon) DestroyIcon(icon);
    }
  });
}

}  // namespace
