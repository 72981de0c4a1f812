// Both architectures' DLLs registered in one prefix through their own
// regsvr32: each keeps its class keys in its own registry view, and the
// shared handler keys stay until neither view serves the class.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "support/childprocess.h"
#include "support/dllundertest.h"
#include "support/testfiles.h"

#include "registrykeys.h"

namespace {
enum Arch { x64, x86 };
constexpr Arch ownArch = sizeof(void*) == 8 ? x64 : x86;
constexpr Arch Other(Arch a) { return a == x64 ? x86 : x64; }
constexpr REGSAM viewOf[] = {KEY_WOW64_64KEY, KEY_WOW64_32KEY};

std::wstring BinDirectory(Arch a) {
  if (a == ownArch) return ProgramDirectory();
  std::wstring path = L"" SYNCSHELL_OTHER_BIN_W;
  for (wchar_t& c : path)
    if (c == L'/') c = L'\\';
  return path;
}
std::wstring DllPath(Arch a) { return BinDirectory(a) + L"\\SyncShellContextMenu.dll"; }

// The other architecture's system folder: a 32-bit process sees the 64-bit
// one as sysnative only.
std::wstring OtherSystemFolder() {
  wchar_t windows[MAX_PATH] = {};
  GetWindowsDirectoryW(windows, MAX_PATH);
  return std::wstring(windows) + (Other(ownArch) == x64 ? L"\\sysnative" : L"\\syswow64");
}

std::wstring Regsvr32(Arch a) { return a == ownArch ? SystemRegsvr32() : OtherSystemFolder() + L"\\regsvr32.exe"; }

// Whether this machine runs the other architecture's programs at all: a
// kernel without 32-bit support leaves Wine's 32-bit loader unstartable, and
// every step below would fail for the machine, not for the DLL.
bool OtherArchitectureRuns() {
  return ChildProcess(L"\"" + OtherSystemFolder() + L"\\cmd.exe\" /c exit 7").Wait(60000) == 7;
}

// Whether a key written in the 32-bit view is the one the 64-bit view sees.
bool ClassViewsShared(HKEY root) {
  const std::wstring probe = classes + L"CLSID\\{581FFAFF-FC33-0000-0602-95003A5CDE89}";
  HKEY created = nullptr;
  if (RegCreateKeyExW(root, probe.c_str(), 0, nullptr, 0, KEY_WRITE | KEY_WOW64_32KEY, nullptr, &created, nullptr) !=
      ERROR_SUCCESS)
    return false;
  RegCloseKey(created);
  const bool shared = KeyExists(root, probe, KEY_WOW64_64KEY);
  RegDeleteKeyExW(root, probe.c_str(), KEY_WOW64_32KEY, 0);
  return shared;
}

// What each architecture's registration should have left: registered[a]
// says whether a's regsvr32 registered last without unregistering since.
void ExpectState(const Scope& s, const bool registered[2], bool viewsShared, const std::string& step) {
  SCOPED_TRACE(step);
  for (Arch a : {x64, x86}) {
    // With one view, as for HKCU under Wine, the last registration wins and
    // any unregistration removes it; per-user separation shows only on Windows.
    Arch expected = a;
    if (viewsShared) expected = registered[a] ? a : Other(a);
    const std::wstring path = registered[expected] ? DllPath(expected) : L"-";
    for (unsigned index : {s.menuIndex, s.iconIndex})
      EXPECT_EQ(ReadString(s.root, ClassKey(index) + L"\\InprocServer32", viewOf[a]), path)
          << "view of " << (a == x64 ? "x64" : "x86");
  }
  const bool any = registered[x64] || registered[x86];
  for (const auto& [key, named] : SharedKeys(s))
    EXPECT_EQ(ReadString(s.root, key, KEY_WOW64_64KEY), any ? named : L"-") << Utf8(key);
  // Wine's COM reads classes from the machine-wide hive only.
  if (s.root != HKEY_LOCAL_MACHINE) return;
  for (Arch client : {x64, x86}) {
    const std::wstring probe = L"\"" + BinDirectory(client) + L"\\activationprobe.exe\" " + ClassText(s.menuIndex);
    EXPECT_EQ(ChildProcess(probe).Wait(60000), registered[client] ? 0u : 1u)
        << "CoCreateInstance from the " << (client == x64 ? "64" : "32") << "-bit client";
  }
}

struct Order {
  const Scope* scope;
  Arch first, second, firstRemoved;
};
class SideBySide : public ::testing::TestWithParam<Order> {};

TEST_P(SideBySide, EachViewKeepsItsClassesAndTheSharedHandlersOutliveOneUnregistration) {
  if (GetFileAttributesW(DllPath(Other(ownArch)).c_str()) == INVALID_FILE_ATTRIBUTES)
    GTEST_SKIP() << "the other architecture's build is absent";
  if (!OtherArchitectureRuns()) GTEST_SKIP() << "this machine cannot run the other architecture's programs";
  const Order& o = GetParam();
  RegistrationCleanup cleanup;
  const bool shared = ClassViewsShared(o.scope->root);
  bool registered[2] = {false, false};
  const auto run = [&](bool install, Arch a) {
    const std::wstring command = L"\"" + Regsvr32(a) + L"\" /s " + (install ? L"" : L"/u ") + L"/n " +
                                 o.scope->regsvr32Option + L" \"" + DllPath(a) + L"\"";
    ASSERT_EQ(ChildProcess(command).Wait(60000), 0u) << Utf8(command);
    registered[a] = install;
    if (shared) registered[Other(a)] = false;
    ExpectState(*o.scope, registered, shared, (install ? "after registering " : "after unregistering ") +
                                                  std::string(a == x64 ? "x64" : "x86"));
  };
  run(true, o.first);
  run(true, o.second);
  run(false, o.firstRemoved);
  run(false, Other(o.firstRemoved));
}

INSTANTIATE_TEST_SUITE_P(Orders, SideBySide, ::testing::Values(
    Order{&userScope, x64, x86, x86}, Order{&userScope, x86, x64, x64},
    Order{&machineScope, x64, x86, x86}, Order{&machineScope, x86, x64, x64}));
}  // namespace
