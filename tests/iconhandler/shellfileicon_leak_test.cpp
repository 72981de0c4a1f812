// Thousands of icons over a mix of file types, folders and progress steps
// leave no icon or bitmap behind, and no memory.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "support/dllundertest.h"
#include "support/importhook.h"
#include "support/testfiles.h"

namespace {

// Icons and bitmaps the DLL made through its imports and has neither
// destroyed nor handed out. Wine counts no GDI objects (GetGuiResources is
// 0 there), so the count is kept here.
std::set<void*> liveObjects;
void* originals[8];

template <typename F>
F Original(size_t index) {
  return reinterpret_cast<F>(originals[index]);
}

enum HookIndex { IconIndirect, IconInfo, Duplicate, FileInfo, DibSection, Bitmap, Destroy, Delete };

HICON WINAPI CountCreateIconIndirect(PICONINFO info) {
  HICON icon = Original<decltype(&CreateIconIndirect)>(IconIndirect)(info);
  if (icon) liveObjects.insert(icon);
  return icon;
}
BOOL WINAPI CountGetIconInfo(HICON icon, PICONINFO info) {
  const BOOL result = Original<decltype(&GetIconInfo)>(IconInfo)(icon, info);
  if (result && info->hbmColor) liveObjects.insert(info->hbmColor);
  if (result && info->hbmMask) liveObjects.insert(info->hbmMask);
  return result;
}
HICON WINAPI CountDuplicateIcon(HINSTANCE instance, HICON icon) {
  HICON copy = Original<decltype(&DuplicateIcon)>(Duplicate)(instance, icon);
  if (copy) liveObjects.insert(copy);
  return copy;
}
DWORD_PTR WINAPI CountSHGetFileInfoW(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT size, UINT flags) {
  const DWORD_PTR result = Original<decltype(&SHGetFileInfoW)>(FileInfo)(path, attributes, info, size, flags);
  if (result && (flags & SHGFI_ICON) && info->hIcon) liveObjects.insert(info->hIcon);
  return result;
}
HBITMAP WINAPI CountCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                     DWORD offset) {
  HBITMAP bitmap = Original<decltype(&CreateDIBSection)>(DibSection)(dc, info, usage, bits, section, offset);
  if (bitmap) liveObjects.insert(bitmap);
  return bitmap;
}
HBITMAP WINAPI CountCreateBitmap(int width, int height, UINT planes, UINT bits, const void* data) {
  HBITMAP bitmap = Original<decltype(&CreateBitmap)>(Bitmap)(width, height, planes, bits, data);
  if (bitmap) liveObjects.insert(bitmap);
  return bitmap;
}
BOOL WINAPI CountDestroyIcon(HICON icon) {
  liveObjects.erase(icon);
  return Original<decltype(&DestroyIcon)>(Destroy)(icon);
}
BOOL WINAPI CountDeleteObject(HGDIOBJ object) {
  liveObjects.erase(object);
  return Original<decltype(&DeleteObject)>(Delete)(object);
}

// The commit charge: Wine fills PagefileUsage (its PrivateUsage stays 0),
// and Windows keeps it equal to the private bytes.
SIZE_T CommittedBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return counters.PagefileUsage;
}

TEST(IconLeaks, ThousandsOfIconsLeaveNoObjectOrMemoryBehind) {
  DllUnderTest dll;
  TempFolder folder;
  const struct {
    const char* library;
    const char* name;
    void* counter;
  } imports[] = {{"user32.dll", "CreateIconIndirect", reinterpret_cast<void*>(&CountCreateIconIndirect)},
                 {"user32.dll", "GetIconInfo", reinterpret_cast<void*>(&CountGetIconInfo)},
                 {"shell32.dll", "DuplicateIcon", reinterpret_cast<void*>(&CountDuplicateIcon)},
                 {"shell32.dll", "SHGetFileInfoW", reinterpret_cast<void*>(&CountSHGetFileInfoW)},
                 {"gdi32.dll", "CreateDIBSection", reinterpret_cast<void*>(&CountCreateDIBSection)},
                 {"gdi32.dll", "CreateBitmap", reinterpret_cast<void*>(&CountCreateBitmap)},
                 {"user32.dll", "DestroyIcon", reinterpret_cast<void*>(&CountDestroyIcon)},
                 {"gdi32.dll", "DeleteObject", reinterpret_cast<void*>(&CountDeleteObject)}};
  std::vector<std::unique_ptr<ImportHook>> hooks;
  for (const auto& import : imports) {
    hooks.push_back(std::make_unique<ImportHook>(dll.Module(), import.library, import.name, import.counter));
    ASSERT_TRUE(hooks.back()->Installed()) << import.name;
    originals[hooks.size() - 1] = hooks.back()->Original();
  }

  ASSERT_TRUE(CreateFolder(folder / L"sync") && CreateFolder(folder / L"sync\\.sync"));
  ASSERT_TRUE(WriteBytes(folder / L"sync\\.sync\\ID", ""));
  ASSERT_TRUE(WriteBytes(folder / L"sync\\.sync\\ID:com.tamvera.Sync", "d4:modei1ee"));
  std::vector<std::wstring> paths;
  for (const auto& [name, state] : {std::pair{L"sync\\report.docx.tmvs", "d10:kvx_statusi55ee"},
                                    {L"sync\\photo.PNG.tmvs", "d10:kvx_statusi100ee"},
                                    {L"sync\\notes.txt.tmvs", ""},
                                    {L"sync\\Albums.tmvs", "d8:kvx_typei2e10:kvx_statusi35ee"},
                                    {L"sync\\README.tmvs", "d10:kvx_statusi0ee"},
                                    {L"plain.bin.tmvs", ""},
                                    {L"sync\\missing.doc.tmvs", nullptr},
                                    {L"sync\\not-a-placeholder.docx", ""}}) {
    paths.push_back(folder / name);
    if (state) {
      ASSERT_TRUE(WriteBytes(paths.back(), "") && (!*state || WriteBytes(paths.back() + L":com.tamvera.Sync", state)));
    }
  }

  // One Explorer-like round: an object per path, icons of several sizes.
  const auto round = [&](unsigned number) {
    const UINT sizes[] = {MAKELONG(0, 16), MAKELONG(256, 16), MAKELONG(32, 32), MAKELONG(48, 48)};
    for (size_t index = 0; index < paths.size(); ++index) {
      IPersistFile* file = nullptr;
      ASSERT_EQ(dll.CreateObject(TestClassId(number % 2 ? 1 : 6), IID_IPersistFile, reinterpret_cast<void**>(&file)),
                S_OK);
      IExtractIconW* extract = nullptr;
      file->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(&extract));
      file->Load(paths[index].c_str(), STGM_READ);
      HICON large = nullptr, small = nullptr;
      extract->Extract(nullptr, 0, &large, (number + index) % 3 ? &small : nullptr, sizes[(number + index) % 4]);
      for (HICON icon : {large, small}) {
        liveObjects.erase(icon);  // handed out: the caller's to destroy
        if (icon) DestroyIcon(icon);
      }
      extract->Release();
      file->Release();
    }
  };

  for (unsigned number = 0; number < 20; ++number) round(number);
  liveObjects.clear();
  const SIZE_T memoryBefore = CommittedBytes();
  const DWORD gdiBefore = GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS);
  for (unsigned number = 0; number < 300; ++number) {
    round(number);
    ASSERT_TRUE(liveObjects.empty()) << "round " << number << " left " << liveObjects.size() << " objects";
  }
  EXPECT_EQ(GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), gdiBefore);
  // One leaked 256-pixel image per call would be hundreds of megabytes.
  EXPECT_LT(CommittedBytes(), memoryBefore + 24 * 1024 * 1024)
      << "grew by " << (CommittedBytes() - memoryBefore) / 1024 << " KiB";
  hooks.clear();
  EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

}  // namespace
