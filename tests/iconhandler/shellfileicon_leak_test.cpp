// Thousands of icons over a mix of file types, folders and progress steps
// must leave no icon, bitmap or device context behind, and no memory.
#include <windows.h>
#include <psapi.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "support/dllundertest.h"
#include "support/importhook.h"
#include "support/testfiles.h"

namespace {

// Every GDI and USER object the DLL creates through its imports, until the
// DLL destroys it or hands it out. Wine reports no GDI object counts, so
// the count is kept here.
std::map<void*, const char*> liveObjects;

void Created(void* object, const char* kind) {
  if (object) liveObjects[object] = kind;
}
void Destroyed(void* object) { liveObjects.erase(object); }

template <typename F>
F Real(const ImportHook& hook) {
  return reinterpret_cast<F>(hook.Original());
}

struct Hooks;
Hooks* hooks = nullptr;

HICON WINAPI HookCreateIconIndirect(PICONINFO info);
BOOL WINAPI HookDestroyIcon(HICON icon);
BOOL WINAPI HookGetIconInfo(HICON icon, PICONINFO info);
HDC WINAPI HookGetDC(HWND window);
int WINAPI HookReleaseDC(HWND window, HDC dc);
HBITMAP WINAPI HookCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                    DWORD offset);
HBITMAP WINAPI HookCreateBitmap(int width, int height, UINT planes, UINT bits, const void* data);
HDC WINAPI HookCreateCompatibleDC(HDC dc);
BOOL WINAPI HookDeleteDC(HDC dc);
BOOL WINAPI HookDeleteObject(HGDIOBJ object);
HICON WINAPI HookDuplicateIcon(HINSTANCE instance, HICON icon);
DWORD_PTR WINAPI HookSHGetFileInfoW(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT size, UINT flags);

struct Hooks {
  explicit Hooks(HMODULE dll)
      : createIconIndirect(dll, "user32.dll", "CreateIconIndirect", reinterpret_cast<void*>(&HookCreateIconIndirect)),
        destroyIcon(dll, "user32.dll", "DestroyIcon", reinterpret_cast<void*>(&HookDestroyIcon)),
        getIconInfo(dll, "user32.dll", "GetIconInfo", reinterpret_cast<void*>(&HookGetIconInfo)),
        getDC(dll, "user32.dll", "GetDC", reinterpret_cast<void*>(&HookGetDC)),
        releaseDC(dll, "user32.dll", "ReleaseDC", reinterpret_cast<void*>(&HookReleaseDC)),
        createDIBSection(dll, "gdi32.dll", "CreateDIBSection", reinterpret_cast<void*>(&HookCreateDIBSection)),
        createBitmap(dll, "gdi32.dll", "CreateBitmap", reinterpret_cast<void*>(&HookCreateBitmap)),
        createCompatibleDC(dll, "gdi32.dll", "CreateCompatibleDC", reinterpret_cast<void*>(&HookCreateCompatibleDC)),
        deleteDC(dll, "gdi32.dll", "DeleteDC", reinterpret_cast<void*>(&HookDeleteDC)),
        deleteObject(dll, "gdi32.dll", "DeleteObject", reinterpret_cast<void*>(&HookDeleteObject)),
        duplicateIcon(dll, "shell32.dll", "DuplicateIcon", reinterpret_cast<void*>(&HookDuplicateIcon)),
        getFileInfo(dll, "shell32.dll", "SHGetFileInfoW", reinterpret_cast<void*>(&HookSHGetFileInfoW)) {
    hooks = this;
  }
  ~Hooks() { hooks = nullptr; }

  bool AllInstalled() const {
    for (const ImportHook* hook : {&createIconIndirect, &destroyIcon, &getIconInfo, &getDC, &releaseDC,
                                   &createDIBSection, &createBitmap, &createCompatibleDC, &deleteDC, &deleteObject,
                                   &duplicateIcon, &getFileInfo})
      if (!hook->Installed()) return false;
    return true;
  }

  ImportHook createIconIndirect, destroyIcon, getIconInfo, getDC, releaseDC, createDIBSection, createBitmap,
      createCompatibleDC, deleteDC, deleteObject, duplicateIcon, getFileInfo;
};

HICON WINAPI HookCreateIconIndirect(PICONINFO info) {
  HICON icon = Real<decltype(&CreateIconIndirect)>(hooks->createIconIndirect)(info);
  Created(icon, "icon");
  return icon;
}
BOOL WINAPI HookDestroyIcon(HICON icon) {
  Destroyed(icon);
  return Real<decltype(&DestroyIcon)>(hooks->destroyIcon)(icon);
}
BOOL WINAPI HookGetIconInfo(HICON icon, PICONINFO info) {
  const BOOL result = Real<decltype(&GetIconInfo)>(hooks->getIconInfo)(icon, info);
  if (result) {
    Created(info->hbmColor, "icon colour bitmap");
    Created(info->hbmMask, "icon mask bitmap");
  }
  return result;
}
HDC WINAPI HookGetDC(HWND window) {
  HDC dc = Real<decltype(&GetDC)>(hooks->getDC)(window);
  Created(dc, "window DC");
  return dc;
}
int WINAPI HookReleaseDC(HWND window, HDC dc) {
  Destroyed(dc);
  return Real<decltype(&ReleaseDC)>(hooks->releaseDC)(window, dc);
}
HBITMAP WINAPI HookCreateDIBSection(HDC dc, const BITMAPINFO* info, UINT usage, void** bits, HANDLE section,
                                    DWORD offset) {
  HBITMAP bitmap = Real<decltype(&CreateDIBSection)>(hooks->createDIBSection)(dc, info, usage, bits, section, offset);
  Created(bitmap, "DIB section");
  return bitmap;
}
HBITMAP WINAPI HookCreateBitmap(int width, int height, UINT planes, UINT bits, const void* data) {
  HBITMAP bitmap = Real<decltype(&CreateBitmap)>(hooks->createBitmap)(width, height, planes, bits, data);
  Created(bitmap, "bitmap");
  return bitmap;
}
HDC WINAPI HookCreateCompatibleDC(HDC dc) {
  HDC memory = Real<decltype(&CreateCompatibleDC)>(hooks->createCompatibleDC)(dc);
  Created(memory, "memory DC");
  return memory;
}
BOOL WINAPI HookDeleteDC(HDC dc) {
  Destroyed(dc);
  return Real<decltype(&DeleteDC)>(hooks->deleteDC)(dc);
}
BOOL WINAPI HookDeleteObject(HGDIOBJ object) {
  Destroyed(object);
  return Real<decltype(&DeleteObject)>(hooks->deleteObject)(object);
}
HICON WINAPI HookDuplicateIcon(HINSTANCE instance, HICON icon) {
  HICON copy = Real<decltype(&DuplicateIcon)>(hooks->duplicateIcon)(instance, icon);
  Created(copy, "duplicated icon");
  return copy;
}
DWORD_PTR WINAPI HookSHGetFileInfoW(LPCWSTR path, DWORD attributes, SHFILEINFOW* info, UINT size, UINT flags) {
  const DWORD_PTR result = Real<decltype(&SHGetFileInfoW)>(hooks->getFileInfo)(path, attributes, info, size, flags);
  if (result && (flags & SHGFI_ICON)) Created(info->hIcon, "shell icon");
  return result;
}

// The process's commit charge: PagefileUsage, which Wine fills (its
// PrivateUsage stays 0) and Windows keeps equal to the private bytes.
SIZE_T PrivateBytes() {
  PROCESS_MEMORY_COUNTERS counters{};
  counters.cb = sizeof(counters);
  GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof(counters));
  return counters.PagefileUsage;
}

DWORD GdiObjects() { return GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS); }

class IconLeaks : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(CreateFolder(folder / L"sync"));
    ASSERT_TRUE(CreateFolder(folder / L"sync\\.sync"));
    ASSERT_TRUE(WriteBytes(folder / L"sync\\.sync\\ID", ""));
    ASSERT_TRUE(WriteBytes(folder / L"sync\\.sync\\ID:com.tamvera.Sync", "d4:modei1ee"));
    const std::vector<std::pair<std::wstring, const char*>> placeholders = {
        {L"sync\\report.docx.tmvs", "d10:kvx_statusi55ee"},
        {L"sync\\photo.PNG.tmvs", "d10:kvx_statusi100ee"},
        {L"sync\\notes.txt.tmvs", ""},
        {L"sync\\Albums.tmvs", "d8:kvx_typei2e10:kvx_statusi35ee"},
        {L"sync\\README.tmvs", "d10:kvx_statusi0ee"},
        {L"plain.bin.tmvs", ""},
        {L"sync\\missing.doc.tmvs", nullptr},
        {L"sync\\not-a-placeholder.docx", "d10:kvx_statusi50ee"},
    };
    for (const auto& [name, state] : placeholders) {
      const std::wstring path = folder / name;
      paths.push_back(path);
      if (!state) continue;  // a placeholder that is not there
      ASSERT_TRUE(WriteBytes(path, ""));
      if (*state) {
        ASSERT_TRUE(WriteBytes(path + L":com.tamvera.Sync", state));
      }
    }
  }

  // One Explorer-like round: an object per path, icons in several sizes.
  void Round(unsigned round) {
    const UINT sizes[] = {MAKELONG(0, 16), MAKELONG(256, 16), MAKELONG(32, 32), MAKELONG(48, 48)};
    for (size_t index = 0; index < paths.size(); ++index) {
      IPersistFile* file = nullptr;
      ASSERT_EQ(dll.CreateObject(TestClassId(round % 2 ? 1 : 6), IID_IPersistFile, reinterpret_cast<void**>(&file)),
                S_OK);
      IExtractIconW* extract = nullptr;
      file->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(&extract));
      file->Load(paths[index].c_str(), STGM_READ);
      const UINT iconSizes = sizes[(round + index) % 4];
      HICON large = nullptr, small = nullptr;
      const bool both = (round + index) % 3 != 0;
      extract->Extract(nullptr, 0, &large, both ? &small : nullptr, iconSizes);
      for (HICON icon : {large, small}) {
        if (!icon) continue;
        Destroyed(icon);  // ours now; destroyed outside the DLL's imports
        DestroyIcon(icon);
      }
      extract->Release();
      file->Release();
    }
  }

  DllUnderTest dll;
  TempFolder folder;
  std::vector<std::wstring> paths;
};

TEST_F(IconLeaks, ThousandsOfIconsLeaveNoObjectOrMemoryBehind) {
  Hooks installed(dll.Module());
  ASSERT_TRUE(installed.AllInstalled());

  for (unsigned round = 0; round < 20; ++round) Round(round);
  liveObjects.clear();
  const SIZE_T memoryBefore = PrivateBytes();
  const DWORD gdiBefore = GdiObjects();

  unsigned extracts = 0;
  for (unsigned round = 0; round < 300; ++round) {
    Round(round);
    extracts += static_cast<unsigned>(paths.size());
    ASSERT_TRUE(liveObjects.empty()) << "round " << round << ": a " << liveObjects.begin()->second << " was left";
  }
  EXPECT_GE(extracts, 2000u);
  EXPECT_EQ(GdiObjects(), gdiBefore);
  // A single leaked 256-pixel image per call would be hundreds of megabytes.
  EXPECT_LT(PrivateBytes(), memoryBefore + 24 * 1024 * 1024)
      << "grew by " << (PrivateBytes() - memoryBefore) / 1024 << " KiB";
  EXPECT_EQ(dll.CanUnloadNow(), S_OK);
}

}  // namespace
