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

// One counting replacement per import: index into the originals table.
enum Import {
  CreateIconIndirectImport,
  GetIconInfoImport,
  DuplicateIconImport,
  SHGetFileInfoImport,
  CreateDIBSectionImport,
  CreateBitmapImport,
  LoadImageImport,
  CreateCompatibleDCImport,
  GetDCImport,
  DestroyIconImport,
  DeleteObjectImport,
  DeleteDCImport,
  ReleaseDCImport,
  ImageFromScan0Import,
  ImageFromHBitmapImport,
  CloneImageImport,
  CloneBitmapAreaImport,
  HBitmapFromBitmapImport,
  GraphicsImport,
  SolidFillImport,
  CloneBrushImport,
  PenImport,
  DisposeImageImport,
  DeleteGraphicsImport,
  DeleteBrushImport,
  DeletePenImport,
  importCount
};
void* originals[importCount];

template <typename F>
F Original(Import index) {
  return reinterpret_cast<F>(originals[index]);
}

void Born(void* object) {
  if (object) liveObjects.insert(object);
}
void Gone(void* object) { liveObjects.erase(object); }

HICON WINAPI CountCreateIconIndirect(PICONINFO info) {
  HICON icon = Original<decltype(&CreateIconIndirect)>(CreateIconIndirectImport)(info);
  Born(icon);
  return icon;
}
BOOL WINAPI CountGetIconInfo(HICON icon, PICONINFO info) {
  const BOOL result = Original<decltype(&GetIconInfo)>(GetIconInfoImport)(icon, info);
  if (result) Born(info->hbmColor), Born(info->hbmMask);
  return result;
}
HICON WINAPI CountDuplicateIcon(HINSTANCE instance, HICON icon) {
  HICON copy = Original<decltype(&DuplicateIcon)>(DuplicateIconImport)(instance, icon);
  Born(copy);
  return copy;
}
DWORD_PTR WINAPI CountSHGetFileInfoW(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT size, UINT flags) {
  const DWORD_PTR result =
      Original<decltype(&SHGetFileInfoW)>(SHGetFileInfoImport)(path, attributes, info, size, flags);
  if (result && (flags & SHGFI_ICON)) Born(info->hIcon);
  return result;
}
HBITMAP WINAPI CountCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                     DWORD offset) {
  HBITMAP bitmap =
      Original<decltype(&CreateDIBSection)>(CreateDIBSectionImport)(dc, info, usage, bits, section, offset);
  Born(bitmap);
  return bitmap;
}
HBITMAP WINAPI CountCreateBitmap(int width, int height, UINT planes, UINT bits, const void* data) {
  HBITMAP bitmap = Original<decltype(&CreateBitmap)>(CreateBitmapImport)(width, height, planes, bits, data);
  Born(bitmap);
  return bitmap;
}
HANDLE WINAPI CountLoadImageW(HINSTANCE instance, LPCWSTR name, UINT type, int width, int height, UINT flags) {
  HANDLE image = Original<decltype(&LoadImageW)>(LoadImageImport)(instance, name, type, width, height, flags);
  Born(image);
  return image;
}
HDC WINAPI CountCreateCompatibleDC(HDC dc) {
  HDC created = Original<decltype(&CreateCompatibleDC)>(CreateCompatibleDCImport)(dc);
  Born(created);
  return created;
}
HDC WINAPI CountGetDC(HWND window) {
  HDC dc = Original<decltype(&GetDC)>(GetDCImport)(window);
  Born(dc);
  return dc;
}
BOOL WINAPI CountDestroyIcon(HICON icon) {
  Gone(icon);
  return Original<decltype(&DestroyIcon)>(DestroyIconImport)(icon);
}
BOOL WINAPI CountDeleteObject(HGDIOBJ object) {
  Gone(object);
  return Original<decltype(&DeleteObject)>(DeleteObjectImport)(object);
}
BOOL WINAPI CountDeleteDC(HDC dc) {
  Gone(dc);
  return Original<decltype(&DeleteDC)>(DeleteDCImport)(dc);
}
int WINAPI CountReleaseDC(HWND window, HDC dc) {
  Gone(dc);
  return Original<decltype(&ReleaseDC)>(ReleaseDCImport)(window, dc);
}

using namespace Gdiplus;
GpStatus WINGDIPAPI CountImageFromScan0(INT w, INT h, INT stride, PixelFormat format, BYTE* scan, GpBitmap** out) {
  const GpStatus status =
      Original<decltype(&DllExports::GdipCreateBitmapFromScan0)>(ImageFromScan0Import)(w, h, stride, format, scan, out);
  if (status == Ok) Born(*out);
  return status;
}
GpStatus WINGDIPAPI CountImageFromHBitmap(HBITMAP bitmap, HPALETTE palette, GpBitmap** out) {
  const GpStatus status =
      Original<decltype(&DllExports::GdipCreateBitmapFromHBITMAP)>(ImageFromHBitmapImport)(bitmap, palette, out);
  if (status == Ok) Born(*out);
  return status;
}
GpStatus WINGDIPAPI CountCloneImage(GpImage* image, GpImage** out) {
  const GpStatus status = Original<decltype(&DllExports::GdipCloneImage)>(CloneImageImport)(image, out);
  if (status == Ok) Born(*out);
  return status;
}
GpStatus WINGDIPAPI CountCloneBitmapArea(INT x, INT y, INT w, INT h, PixelFormat format, GpBitmap* source,
                                         GpBitmap** out) {
  const GpStatus status =
      Original<decltype(&DllExports::GdipCloneBitmapAreaI)>(CloneBitmapAreaImport)(x, y, w, h, format, source, out);
  if (status == Ok) Born(*out);
  return status;
}
GpStatus WINGDIPAPI CountHBitmapFromBitmap(GpBitmap* bitmap, HBITMAP* out, ARGB background) {
  const GpStatus status =
      Original<decltype(&DllExports::GdipCreateHBITMAPFromBitmap)>(HBitmapFromBitmapImport)(bitmap, out, background);
  if (status == Ok) Born(*out);
  return status;
}
GpStatus WINGDIPAPI CountGraphics(GpImage* image, GpGraphics** out) {
  const GpStatus status = Original<decltype(&DllExports::GdipGetImageGraphicsContext)>(GraphicsImport)(image, out);
  if (status == Ok) Born(*out);
  return status;
}
GpStatus WINGDIPAPI CountSolidFill(ARGB color, GpSolidFill** out) {
  const GpStatus status = Original<decltype(&DllExports::GdipCreateSolidFill)>(SolidFillImport)(color, out);
  if (status == Ok) Born(*out);
  return status;
}
GpStatus WINGDIPAPI CountCloneBrush(GpBrush* brush, GpBrush** out) {
  const GpStatus status = Original<decltype(&DllExports::GdipCloneBrush)>(CloneBrushImport)(brush, out);
  if (status == Ok) Born(*out);
  return status;
}
GpStatus WINGDIPAPI CountPen(ARGB color, REAL width, GpUnit unit, GpPen** out) {
  const GpStatus status = Original<decltype(&DllExports::GdipCreatePen1)>(PenImport)(color, width, unit, out);
  if (status == Ok) Born(*out);
  return status;
}
GpStatus WINGDIPAPI CountDisposeImage(GpImage* image) {
  Gone(image);
  return Original<decltype(&DllExports::GdipDisposeImage)>(DisposeImageImport)(image);
}
GpStatus WINGDIPAPI CountDeleteGraphics(GpGraphics* graphics) {
  Gone(graphics);
  return Original<decltype(&DllExports::GdipDeleteGraphics)>(DeleteGraphicsImport)(graphics);
}
GpStatus WINGDIPAPI CountDeleteBrush(GpBrush* brush) {
  Gone(brush);
  return Original<decltype(&DllExports::GdipDeleteBrush)>(DeleteBrushImport)(brush);
}
GpStatus WINGDIPAPI CountDeletePen(GpPen* pen) {
  Gone(pen);
  return Original<decltype(&DllExports::GdipDeletePen)>(DeletePenImport)(pen);
}

struct ImportEntry {
  const char* library;
  const char* name;
  void* counter;
};

#define COUNTER(function) reinterpret_cast<void*>(&function)
const ImportEntry importTable[importCount] = {
    {"user32.dll", "CreateIconIndirect", COUNTER(CountCreateIconIndirect)},
    {"user32.dll", "GetIconInfo", COUNTER(CountGetIconInfo)},
    {"shell32.dll", "DuplicateIcon", COUNTER(CountDuplicateIcon)},
    {"shell32.dll", "SHGetFileInfoW", COUNTER(CountSHGetFileInfoW)},
    {"gdi32.dll", "CreateDIBSection", COUNTER(CountCreateDIBSection)},
    {"gdi32.dll", "CreateBitmap", COUNTER(CountCreateBitmap)},
    {"user32.dll", "LoadImageW", COUNTER(CountLoadImageW)},
    {"gdi32.dll", "CreateCompatibleDC", COUNTER(CountCreateCompatibleDC)},
    {"user32.dll", "GetDC", COUNTER(CountGetDC)},
    {"user32.dll", "DestroyIcon", COUNTER(CountDestroyIcon)},
    {"gdi32.dll", "DeleteObject", COUNTER(CountDeleteObject)},
    {"gdi32.dll", "DeleteDC", COUNTER(CountDeleteDC)},
    {"user32.dll", "ReleaseDC", COUNTER(CountReleaseDC)},
    {"gdiplus.dll", "GdipCreateBitmapFromScan0", COUNTER(CountImageFromScan0)},
    {"gdiplus.dll", "GdipCreateBitmapFromHBITMAP", COUNTER(CountImageFromHBitmap)},
    {"gdiplus.dll", "GdipCloneImage", COUNTER(CountCloneImage)},
    {"gdiplus.dll", "GdipCloneBitmapAreaI", COUNTER(CountCloneBitmapArea)},
    {"gdiplus.dll", "GdipCreateHBITMAPFromBitmap", COUNTER(CountHBitmapFromBitmap)},
    {"gdiplus.dll", "GdipGetImageGraphicsContext", COUNTER(CountGraphics)},
    {"gdiplus.dll", "GdipCreateSolidFill", COUNTER(CountSolidFill)},
    {"gdiplus.dll", "GdipCloneBrush", COUNTER(CountCloneBrush)},
    {"gdiplus.dll", "GdipCreatePen1", COUNTER(CountPen)},
    {"gdiplus.dll", "GdipDisposeImage", COUNTER(CountDisposeImage)},
    {"gdiplus.dll", "GdipDeleteGraphics", COUNTER(CountDeleteGraphics)},
    {"gdiplus.dll", "GdipDeleteBrush", COUNTER(CountDeleteBrush)},
    {"gdiplus.dll", "GdipDeletePen", COUNTER(CountDeletePen)},
};
#undef COUNTER

struct Counters {
  DWORD handles = 0, gdiObjects = 0, userObjects = 0;
  SIZE_T commitKiB = 0, workingSetKiB = 0;
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
    SIZE_T floorKiB = 0;
    if (floor) {
      for (int number = 0; number < warmUpCycles; ++number) floor();
      const SIZE_T before = ReadCounters().commitKiB;
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
