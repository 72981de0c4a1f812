#pragma once
// What the hostile suites share: calls timed against a bound that only a
// hang exceeds, and what the built DLL shows for a selection or a path.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "support/menuharness.h"
#include "support/dllundertest.h"
#include "support/testfiles.h"

inline constexpr DWORD callLimitMs = 15000;

// The built DLL under a per-user installation in a fresh folder: the menu
// shows without the application.
struct UserInstalledDll {
  TempFolder folder;
  InstallLocationKey userInstall{HKEY_CURRENT_USER, folder.Path()};
  DllUnderTest dll;
};

// Runs call() and fails the test when it takes longer than the bound.
template <typename Call>
auto Bounded(const char* what, Call call) {
  const ULONGLONG start = GetTickCount64();
  auto result = call();
  const ULONGLONG elapsed = GetTickCount64() - start;
  EXPECT_LT(elapsed, callLimitMs) << what << " took " << elapsed << " ms";
  return result;
}

// The menu's answer and the entries it put between the host's two items.
struct MenuSnapshot {
  HRESULT result = E_FAIL;
  std::vector<std::pair<UINT, bool>> entries;  // command offset, greyed
  bool operator==(const MenuSnapshot&) const = default;
};
void PrintTo(const MenuSnapshot& menu, std::ostream* out);

MenuSnapshot SnapshotMenu(const DllUnderTest& dll, IDataObject* selection, UINT flags = CMF_NORMAL);

// Both icons of one Extract, large 32 and small 16 pixels, as ARGB.
struct IconSnapshot {
  HRESULT result = E_FAIL;
  int largeSide = 0, smallSide = 0;
  std::vector<uint32_t> large, small;
  bool operator==(const IconSnapshot&) const = default;
};
void PrintTo(const IconSnapshot& icon, std::ostream* out);

IconSnapshot SnapshotIcon(const DllUnderTest& dll, const std::wstring& path);
// The icons an Extract handed out, read and destroyed.
IconSnapshot TakeExtracted(HRESULT result, HICON large, HICON small);

// Creates or replaces "file:stream" with a sparse stream of the size.
bool WriteSparse(const std::wstring& path, uint64_t size);

// Invokes the menu command at the offset the way Explorer does.
HRESULT InvokeOffset(IContextMenu* menu, UINT offset);
