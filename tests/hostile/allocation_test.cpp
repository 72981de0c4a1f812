// Memory running out at any allocation: every COM method, the class
// factory, DllGetClassObject, the delivery thread and the log are driven
// with the N-th allocation failing (alone, or with every later one), for
// every N the full use asks for. Nothing is thrown across the COM
// boundary, every result is one the method may give, and whatever was
// allocated is freed once the objects are released.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdio>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "channel/delivery.h"
#include "support/fakeapp.h"
#include "support/menuharness.h"
#include "support/modulestate.h"
#include "hostile/allocationcontrol.h"
#include "log/extensionlog.h"
#include "support/logfiles.h"
#include "module/classids.h"
#include "com/modulereference.h"
#include "util/settingsroot.h"
#include "support/dllundertest.h"
#include "support/importhook.h"
#include "support/testfiles.h"

extern "C" HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID classId, REFIID riid, LPVOID* object);
extern "C" HRESULT STDAPICALLTYPE DllInstall(BOOL install, LPCWSTR commandLine);
extern "C" HRESULT STDAPICALLTYPE DllCanUnloadNow();

namespace {

constexpr HRESULT menuShown = MAKE_HRESULT(SEVERITY_SUCCESS, 0, 6);

// What the calls of one use answered; filled without allocating, since
// memory may be gone while it is.
struct Outcome {
  struct Step {
    const char* call;
    HRESULT result;
  };
  std::array<Step, 16> steps{};
  size_t count = 0;
  bool escaped = false;
  void Add(const char* call, HRESULT result) {
    if (count < steps.size()) steps[count++] = {call, result};
  }
};

using Allowed = std::map<std::string, std::set<HRESULT>>;

// The delivery threads the product starts, held until they have ended,
// their exit included: only then is everything they allocated freed.
std::array<HANDLE, 64> startedThreads{};
std::atomic<size_t> startedCount{0};
std::atomic<bool> recordingThreads{false};
void* originalCreateThread = nullptr;

HANDLE WINAPI RememberCreateThread(LPSECURITY_ATTRIBUTES security, SIZE_T stack, LPTHREAD_START_ROUTINE start,
                                   LPVOID parameter, DWORD flags, LPDWORD id) {
  HANDLE thread =
      reinterpret_cast<decltype(&CreateThread)>(originalCreateThread)(security, stack, start, parameter, flags, id);
  if (!recordingThreads.load()) return thread;  // the test framework's own
  HANDLE held = nullptr;
  const size_t slot = startedCount++;
  if (thread && slot < startedThreads.size() &&
      DuplicateHandle(GetCurrentProcess(), thread, GetCurrentProcess(), &held, SYNCHRONIZE, FALSE, 0))
    startedThreads[slot] = held;
  return thread;
}

// No object left and every thread started meanwhile gone.
bool ThreadsEnded() {
  bool ended = true;
  const size_t count = std::min(startedCount.exchange(0), startedThreads.size());
  for (size_t slot = 0; slot < count; ++slot) {
    if (!startedThreads[slot]) continue;
    ended = WaitForSingleObject(startedThreads[slot], 30000) == WAIT_OBJECT_0 && ended;
    CloseHandle(std::exchange(startedThreads[slot], nullptr));
  }
  return ended && moduleObjectCount.load() == 0;
}

// Runs the use once to count its allocations, then once for every
// allocation failing alone and once for it failing with all after it.
void Sweep(const char* what, const std::function<void(Outcome&)>& use, const Allowed& allowed, bool checkLeaks = true) {
  ArmAllocations(-1, false);
  Outcome counting;
  recordingThreads = true;
  use(counting);
  recordingThreads = false;
  ASSERT_TRUE(ThreadsEnded());
  const long total = DisarmAllocations();
  ASSERT_GT(total, 0);
  int runs = 0;
  for (const bool everyLater : {false, true}) {
    for (long failAt = 0; failAt <= total; ++failAt) {
      Outcome outcome;
      ArmAllocations(failAt, everyLater);
      recordingThreads = true;
      try {
        use(outcome);
      } catch (...) {
        outcome.escaped = true;
      }
      recordingThreads = false;
      const bool ended = ThreadsEnded();
      DisarmAllocations();
      const std::string trace = std::string(what) + ", allocation " + std::to_string(failAt) +
                                (everyLater ? " and every later one" : " alone") + " failing";
      ASSERT_FALSE(outcome.escaped) << trace << ": an exception left a call";
      ASSERT_TRUE(ended) << trace << ": an object or a delivery thread stayed";
      for (size_t i = 0; i < outcome.count; ++i) {
        const auto& [call, result] = outcome.steps[i];
        const auto found = allowed.find(call);
        ASSERT_NE(found, allowed.end()) << call;
        EXPECT_EQ(found->second.count(result), 1u)
            << trace << ": " << call << " gave 0x" << std::hex << static_cast<unsigned long>(result);
      }
      if (checkLeaks) {
        EXPECT_EQ(LiveTrackedAllocations(), 0u) << trace << ": allocations left behind";
      }
      ++runs;
    }
  }
  std::printf("%s: %ld allocations in one use, %d runs with failures, none escaped or leaked\n", what, total, runs);
}

// A thread routine: on x86 only a __stdcall function converts to one.
DWORD WINAPI ThrowOnce(void*) {
  try {
    throw std::bad_alloc();
  } catch (const std::bad_alloc&) {
  }
  return 0;
}

class AllocationFailure : public ::testing::Test {
 protected:
  static inline std::optional<InstallScopeOverride> userScope;
  static void TearDownTestSuite() { userScope.reset(); }
  static void SetUpTestSuite() {
    // Settings come from the machine root, where only this test looks.
    UseMachineSettings();
    userScope.emplace(InstallScope::User);
    // The first exception of a thread sets up its exception state, which
    // the runtime keeps for good on this thread and in a pool for later
    // threads: set both up before anything is counted.
    ThrowOnce(nullptr);
    // The memory the runtime keeps for an exception thrown when none is
    // left sits behind a lock that is set up, with an allocation, on its
    // first use: were that allocation to fail too, the runtime would throw
    // for the lock and recurse until the stack is gone. Use it once while
    // only the exception's own allocation fails.
    ArmAllocations(0, false);
    ThrowOnce(nullptr);
    DisarmAllocations();
    for (int round = 0; round < 2; ++round) {
      HANDLE thread = CreateThread(nullptr, 0, ThrowOnce, nullptr, 0, nullptr);
      WaitForSingleObject(thread, INFINITE);
      CloseHandle(thread);
    }
  }

  ImportHook threads{GetModuleHandleW(nullptr), "kernel32.dll", "CreateThread",
                     reinterpret_cast<void*>(&RememberCreateThread)};

  void SetUp() override {
    ASSERT_TRUE(threads.Installed());
    originalCreateThread = threads.Original();
    logSwitch.SetDword(0);
    const std::wstring root = folder / L"Sync";
    MakeSyncRoot(root, FolderRecord(2, 1, CurrentUser()));
    paths = {root + L"\\a.txt", root + L"\\w.docx.tmvs", root + L"\\r.docx.tmvs", root + L"\\Docs"};
    WriteBytes(paths[0], "content");
    MakePlaceholder(paths[1], "de");
    MakePlaceholder(paths[2], "d10:kvx_statusi55ee");
    CreateFolder(paths[3]);
    selection = DropDataObject(paths);
  }

  LogSwitch logSwitch{HKEY_LOCAL_MACHINE};
  TempFolder folder;
  std::vector<std::wstring> paths;
  ComPtr<IDataObject> selection;
};

void UseMenu(Outcome& out, IDataObject* selection, UINT offset) {
  IClassFactory* factory = nullptr;
  HRESULT result = DllGetClassObject(TestClassId(0), IID_IClassFactory, reinterpret_cast<void**>(&factory));
  out.Add("DllGetClassObject", result);
  if (FAILED(result)) return;
  IContextMenu* menu = nullptr;
  result = factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu));
  out.Add("CreateInstance", result);
  factory->Release();
  if (FAILED(result)) return;
  IShellExtInit* init = nullptr;
  result = menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init));
  out.Add("QueryInterface", result);
  if (SUCCEEDED(result)) {
    out.Add("Initialize", init->Initialize(nullptr, selection, nullptr));
    init->Release();
  }
  HMENU popup = CreatePopupMenu();
  out.Add("QueryContextMenu", menu->QueryContextMenu(popup, 0, 1, 0x7FFF, CMF_NORMAL));
  DestroyMenu(popup);
  wchar_t wide[64];
  char narrow[64];
  out.Add("GetCommandString", menu->GetCommandString(offset, GCS_HELPTEXTW, nullptr, reinterpret_cast<CHAR*>(wide), 64));
  out.Add("GetCommandString", menu->GetCommandString(offset, GCS_HELPTEXTA, nullptr, narrow, 64));
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof info;
  info.lpVerb = MAKEINTRESOURCEA(offset);
  out.Add("InvokeCommand", menu->InvokeCommand(&info));
  menu->Release();
}

TEST_F(AllocationFailure, TheContextMenuAndItsDeliveriesAnswerSoundlyAndLeakNothing) {
  FakeSyncApp app;
  ASSERT_TRUE(app.WaitReady());
  const Allowed allowed = {{"DllGetClassObject", {S_OK, E_OUTOFMEMORY}},
                           {"CreateInstance", {S_OK, E_OUTOFMEMORY}},
                           {"QueryInterface", {S_OK}},
                           {"Initialize", {S_OK}},
                           {"QueryContextMenu", {menuShown, E_NOTIMPL, E_OUTOFMEMORY}},
                           {"GetCommandString", {S_OK, E_OUTOFMEMORY}},
                           {"InvokeCommand", {S_OK, E_OUTOFMEMORY}}};
  Outcome warmUp;
  recordingThreads = true;
  UseMenu(warmUp, selection.Get(), 1);
  recordingThreads = false;
  ASSERT_TRUE(ThreadsEnded());
  ASSERT_EQ(warmUp.steps[4].result, menuShown);
  // Share sends one message with every path, download one per path.
  Sweep("context menu, share", [&](Outcome& out) { UseMenu(out, selection.Get(), 1); }, allowed);
  Sweep("context menu, download", [&](Outcome& out) { UseMenu(out, selection.Get(), 2); }, allowed);
  EXPECT_FALSE(app.Received().empty());
}

void UseIcon(Outcome& out, const std::wstring& path) {
  IClassFactory* factory = nullptr;
  HRESULT result = DllGetClassObject(TestClassId(1), IID_IClassFactory, reinterpret_cast<void**>(&factory));
  out.Add("DllGetClassObject", result);
  if (FAILED(result)) return;
  IPersistFile* file = nullptr;
  result = factory->CreateInstance(nullptr, IID_IPersistFile, reinterpret_cast<void**>(&file));
  out.Add("CreateInstance", result);
  factory->Release();
  if (FAILED(result)) return;
  out.Add("Load", file->Load(path.c_str(), STGM_READ));
  IExtractIconW* extract = nullptr;
  result = file->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(&extract));
  out.Add("QueryInterface", result);
  if (SUCCEEDED(result)) {
    wchar_t location[MAX_PATH];
    int index = 0;
    UINT flags = 0;
    out.Add("GetIconLocation", extract->GetIconLocation(GIL_FORSHELL, location, MAX_PATH, &index, &flags));
    HICON large = nullptr, small = nullptr;
    out.Add("Extract", extract->Extract(path.c_str(), 0, &large, &small, MAKELONG(32, 16)));
    if (large) DestroyIcon(large);
    if (small) DestroyIcon(small);
    extract->Release();
  }
  file->Release();
  // The icon images stay cached until the module may unload.
  DllCanUnloadNow();
}

TEST_F(AllocationFailure, TheIconHandlerAnswersSoundlyAndLeaksNothing) {
  const Allowed allowed = {{"DllGetClassObject", {S_OK, E_OUTOFMEMORY}},
                           {"CreateInstance", {S_OK, E_OUTOFMEMORY}},
                           {"Load", {S_OK}},
                           {"QueryInterface", {S_OK}},
                           {"GetIconLocation", {S_OK}},
                           {"Extract", {S_OK, E_OUTOFMEMORY}}};
  Outcome warmUp;
  UseIcon(warmUp, paths[2]);
  ASSERT_TRUE(ThreadsEnded());
  ASSERT_EQ(warmUp.steps[warmUp.count - 1].result, S_OK);
  Sweep("icon, receiving placeholder", [&](Outcome& out) { UseIcon(out, paths[2]); }, allowed);
  Sweep("icon, waiting placeholder", [&](Outcome& out) { UseIcon(out, paths[1]); }, allowed);
}

TEST_F(AllocationFailure, TheLogNeitherThrowsNorLeaks) {
  LogFolder logFolder;
  logSwitch.Remove();
  DestroyExtensionLog();
  ASSERT_TRUE(ThreadsEnded());
  const std::wstring longLine(2000, L'x');
  Sweep("extension log", [&](Outcome&) {
    CreateExtensionLog();
    LogMessage(L"Drawing circle with %d status for %s", 55, L"caf\u00e9.txt");
    RefreshLogSwitch();
    LogMessage(L"%s", longLine.c_str());
    DestroyExtensionLog();
  }, {});
}

// Registration that runs out part-way says so, and removal still clears
// what it left.
TEST_F(AllocationFailure, RegistrationReportsRunningOutAndLeaksNothing) {
  const Allowed allowed = {{"DllInstall", {S_OK, E_FAIL}}};
  const auto registered = [] {
    bool found = false;
    for (const unsigned index : {UserMenuClass, ServiceMenuClass}) {
      HKEY key = nullptr;
      const std::wstring path = L"Software\\Classes\\CLSID\\" + FormatClassId(index);
      found = found || RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS;
      if (key) RegCloseKey(key);
    }
    return found;
  };
  ASSERT_EQ(DllInstall(TRUE, L"S"), S_OK);
  ASSERT_TRUE(registered());
  Sweep("registration", [&](Outcome& out) {
    out.Add("DllInstall", DllInstall(TRUE, L"S"));
    out.Add("DllInstall", DllInstall(FALSE, L"S"));
  }, allowed);
  // Every sweep ends in a removal that ran with memory to spare.
  ASSERT_EQ(DllInstall(FALSE, L"S"), S_OK);
  EXPECT_FALSE(registered());
}

// The one-time work of the first request stays to be done when memory ran
// out during it, and the next request does it.
TEST_F(AllocationFailure, AFirstClassObjectRequestThatRanOutIsCompletedByTheNext) {
  const auto reset = [] {
    DestroyExtensionLog();
    ForgetModuleInitialization();
  };
  reset();
  ASSERT_TRUE(ThreadsEnded());
  Sweep("first class-object request", [&](Outcome& out) {
    IClassFactory* factory = nullptr;
    const HRESULT result = DllGetClassObject(TestClassId(0), IID_IClassFactory, reinterpret_cast<void**>(&factory));
    out.Add("DllGetClassObject", result);
    if (factory) factory->Release();
    // Done means done whole: a module that counts as set up knows its path.
    out.Add(moduleInitialized && modulePath.empty() ? "set up without its path" : "consistent", S_OK);
    reset();
  }, {{"DllGetClassObject", {S_OK, E_OUTOFMEMORY}}, {"consistent", {S_OK}}}, false);
  IClassFactory* factory = nullptr;
  ASSERT_EQ(DllGetClassObject(TestClassId(0), IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
  factory->Release();
  EXPECT_FALSE(modulePath.empty());
}

}  // namespace
