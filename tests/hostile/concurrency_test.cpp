// Several threads and processes at once through the built DLL: a hundred
// deliveries while the host unloads the DLL the moment it may, icon objects
// on eight threads sharing the image cache while others are released, the
// first class-object requests of a fresh DLL from several threads, and the
// log written by eight threads in each of two processes while its switch
// is flipped.
#include <windows.h>
#include <shlobj.h>
#include <gdiplus.h>

#include <gtest/gtest.h>

#include <atomic>
#include <barrier>
#include <cstdio>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "support/fakeapp.h"
#include "hostile/hostilesupport.h"
#include "support/iconpixels.h"
#include "support/logfiles.h"
#include "support/childprocess.h"
#include "support/gdipluscalls.h"
#include "support/importhook.h"
#include "support/testfiles.h"

namespace {

ComPtr<IClassFactory> FactoryOf(const DllUnderTest& dll, unsigned classIndex) {
  ComPtr<IClassFactory> factory;
  dll.GetClassObject(TestClassId(classIndex), IID_PPV_ARGS(&factory));
  return factory;
}

// A menu over the paths, its selection fetched as before a command.
ComPtr<IContextMenu> OpenMenu(const DllUnderTest& dll, const std::vector<std::wstring>& paths) {
  ComPtr<IContextMenu> menu;
  const ComPtr<IClassFactory> factory = FactoryOf(dll, 0);
  if (!factory || FAILED(factory->CreateInstance(nullptr, IID_PPV_ARGS(&menu)))) return nullptr;
  ComPtr<IShellExtInit> init;
  if (FAILED(menu.As(&init)) || FAILED(init->Initialize(nullptr, DropDataObject(paths).Get(), nullptr))) return nullptr;
  HMENU popup = CreatePopupMenu();
  menu->QueryContextMenu(popup, 0, 1, 0x7FFF, CMF_NORMAL);
  DestroyMenu(popup);
  return menu;
}

// Runs body(index) on count threads started together, each in a
// single-threaded apartment as Explorer's windows are.
template <typename Body>
void OnThreads(int count, Body body) {
  HANDLE go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  std::vector<std::thread> threads;
  for (int index = 0; index < count; ++index) {
    threads.emplace_back([&, index] {
      CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
      WaitForSingleObject(go, INFINITE);
      body(index);
      CoUninitialize();
    });
  }
  SetEvent(go);
  for (std::thread& thread : threads) thread.join();
  CloseHandle(go);
}

TEST(Concurrency, AHundredDeliveriesAtOnceWhileTheHostUnloadsTheDllAsSoonAsItMay) {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tamvera Sync");
  FakeSyncApp app;
  ASSERT_TRUE(app.WaitReady());
  constexpr int rounds = 3, threads = 4, perThread = 25;
  std::set<std::string> expected;
  for (int round = 0; round < rounds; ++round) {
    const DllUnderTest dll;
    ASSERT_NE(dll.Module(), nullptr);
    std::vector<std::vector<std::wstring>> paths(threads);
    for (int thread = 0; thread < threads; ++thread) {
      for (int i = 0; i < perThread; ++i) {
        const std::wstring path = L"D:\\Sync\\r" + std::to_wstring(round) + L"t" + std::to_wstring(thread) + L"i" +
                                  std::to_wstring(i) + L".txt";
        paths[thread].push_back(path);
        expected.insert("d6:actioni7e5:filesl" + std::to_string(path.size()) + ":" + Utf8(path) + "e4:lasti1ee");
      }
    }
    std::atomic<int> invoked{0};
    OnThreads(threads, [&](int thread) {
      std::vector<ComPtr<IContextMenu>> menus;
      for (const std::wstring& path : paths[thread]) menus.push_back(OpenMenu(dll, {path}));
      for (const ComPtr<IContextMenu>& menu : menus)
        if (menu && InvokeOffset(menu.Get(), 1) == S_OK) ++invoked;
    });
    EXPECT_EQ(invoked.load(), threads * perThread);
    // Unload the moment the DLL allows it, while its last threads leave.
    const ULONGLONG giveUp = GetTickCount64() + 60000;
    while (dll.CanUnloadNow() != S_OK && GetTickCount64() < giveUp) {
    }
    ASSERT_EQ(dll.CanUnloadNow(), S_OK);
  }
  // A thread that finds every pipe instance busy for longer than its limit
  // drops its command (a CPU-starved application shows it); whatever
  // arrives is whole, and arrives once.
  const std::vector<ReceivedMessage> received = app.WaitForMessages(expected.size(), 60000);
  std::set<std::string> seen;
  for (const ReceivedMessage& message : received) {
    EXPECT_EQ(expected.count(message.bytes), 1u) << "torn or unknown: " << message.bytes;
    EXPECT_TRUE(seen.insert(message.bytes).second) << "twice: " << message.bytes;
  }
  EXPECT_FALSE(seen.empty());
  std::printf("%zu of %zu commands delivered\n", seen.size(), expected.size());
  EXPECT_TRUE(WaitUntil([] { return GetModuleHandleW(L"SyncShellContextMenu.dll") == nullptr; }, callLimitMs))
      << "every delivery thread gave its reference back";
}

// The icon of one Extract, read without any assertion (off the main thread).
IconSnapshot IconOf(IClassFactory* factory, const std::wstring& path) {
  IconSnapshot snapshot;
  ComPtr<IPersistFile> file;
  ComPtr<IExtractIconW> extract;
  if (FAILED(factory->CreateInstance(nullptr, IID_PPV_ARGS(&file))) ||
      FAILED(file->QueryInterface(IID_IExtractIconW, reinterpret_cast<void**>(extract.GetAddressOf()))) ||
      FAILED(file->Load(path.c_str(), STGM_READ)))
    return snapshot;
  HICON large = nullptr, small = nullptr;
  const HRESULT result = extract->Extract(path.c_str(), 0, &large, &small, MAKELONG(32, 16));
  return TakeExtracted(result, large, small);
}


TEST(Concurrency, IconObjectsOnEightThreadsShareTheImageCacheWhileOthersAreReleased) {
  TempFolder folder;
  MakeSyncRoot(folder / L"sync", "d4:modei1ee");
  std::vector<std::wstring> paths;
  for (const auto& [name, state] : {std::pair{L"sync\\report.docx.tmvs", "d10:kvx_statusi55ee"},
                                    {L"sync\\photo.png.tmvs", "d10:kvx_statusi100ee"},
                                    {L"sync\\notes.txt.tmvs", "de"},
                                    {L"sync\\Albums.tmvs", "d8:kvx_typei2e10:kvx_statusi35ee"},
                                    {L"plain.bin.tmvs", "d10:kvx_statusi0ee"},
                                    {L"sync\\README.tmvs", "d10:kvx_statusi5ee"}}) {
    paths.push_back(folder / name);
    MakePlaceholder(paths.back(), state);
  }
  DllUnderTest dll;
  const GdiplusCalls counting(dll.Module(), 2);
  ASSERT_TRUE(counting.Installed());
  ComPtr<IClassFactory> factory = FactoryOf(dll, 1);
  ASSERT_TRUE(factory);
  std::vector<IconSnapshot> references;
  for (const std::wstring& path : paths) {
    references.push_back(IconOf(factory.Get(), path));
    ASSERT_EQ(references.back().result, S_OK);
    ASSERT_FALSE(references.back().large.empty());
  }

  constexpr int extractors = 8, releasers = 2, rounds = 30;
  std::atomic<int> extractorsLeft{extractors};
  std::vector<std::vector<std::string>> mismatches(extractors);
  OnThreads(extractors + releasers, [&](int thread) {
    const ComPtr<IClassFactory> own = FactoryOf(dll, thread % 2 ? 1 : 6);
    if (thread >= extractors) {
      // Every icon object that goes empties the whole cache.
      while (extractorsLeft.load() > 0) {
        ComPtr<IPersistFile> file;
        if (own && SUCCEEDED(own->CreateInstance(nullptr, IID_PPV_ARGS(&file))))
          file->Load(paths[thread % paths.size()].c_str(), STGM_READ);
      }
      return;
    }
    for (int round = 0; round < rounds; ++round) {
      const size_t which = static_cast<size_t>(thread + round) % paths.size();
      if (!own || !(IconOf(own.Get(), paths[which]) == references[which]))
        mismatches[thread].push_back("round " + std::to_string(round) + " path " + std::to_string(which));
    }
    --extractorsLeft;
  });
  for (int thread = 0; thread < extractors; ++thread)
    EXPECT_TRUE(mismatches[thread].empty()) << "thread " << thread << ": " << mismatches[thread].front();
  EXPECT_EQ(GdiplusCalls::overlaps.load(), 0) << "GDI+ started or shut down twice";
  factory.Reset();
  EXPECT_EQ(dll.CanUnloadNow(), S_OK) << "the cached images hold GDI+ until now";
  EXPECT_EQ(GdiplusCalls::running.load(), 0) << "GDI+ left running without users";
}

TEST(Concurrency, GdiplusRunsOnceWhileObjectsComeAndGoOnEightThreads) {
  DllUnderTest dll;
  const GdiplusCalls counting(dll.Module(), 2);
  ASSERT_TRUE(counting.Installed());
  // Every round starts from no object at all, on all threads at once.
  constexpr int threads = 8, rounds = 200;
  std::barrier<> roundStart(threads);
  OnThreads(threads, [&](int thread) {
    const ComPtr<IClassFactory> factory = FactoryOf(dll, thread % 4 ? 1 : 0);
    for (int round = 0; round < rounds; ++round) {
      roundStart.arrive_and_wait();
      ComPtr<IUnknown> object;
      if (factory) factory->CreateInstance(nullptr, IID_PPV_ARGS(&object));
    }
  });
  EXPECT_EQ(GdiplusCalls::overlaps.load(), 0) << "GDI+ started or shut down twice";
  EXPECT_EQ(GdiplusCalls::running.load(), 0) << "GDI+ left running without users";
  std::printf("%d GDI+ start-ups for %d objects on %d threads\n", GdiplusCalls::startups.load(), threads * rounds,
              threads);
}

// The bitmap's middle pixel as 0xAARRGGBB; 0 when it cannot be read.
uint32_t MiddlePixel(HBITMAP bitmap) {
  const Pixels pixels = ReadBitmapPixels(bitmap);
  return pixels.argb.empty() ? 0 : pixels.At(pixels.width / 2, pixels.height / 2);
}

// The DLL asking for its own file name, which takes a moment here: room
// for a racing thread to go on without it.
HMODULE copyModule = nullptr;
void* originalModuleFileName = nullptr;

DWORD WINAPI SlowModuleFileName(HMODULE module, LPWSTR buffer, DWORD size) {
  if (module == copyModule) Sleep(5);
  return reinterpret_cast<decltype(&GetModuleFileNameW)>(originalModuleFileName)(module, buffer, size);
}

// Every menu of a fresh DLL, whichever thread asked first, finds the icon
// files beside the DLL: none goes on before the module knows its path.
TEST(Concurrency, TheFirstClassObjectRequestsOfAFreshDllFromSeveralThreadsAllKnowTheModule) {
  TempFolder folder;
  InstallLocationKey userInstall(HKEY_CURRENT_USER, folder.Path());
  WriteBytes(folder / L"a.txt", "content");
  for (int copy = 0; copy < 6; ++copy) {
    const std::wstring place = folder / (L"copy" + std::to_wstring(copy));
    ASSERT_TRUE(CreateFolder(place) && WriteBytes(place + L"\\menu_sync.ico", SolidIconFile(0xFF00C800)));
    DllCopy dll(place);
    ASSERT_TRUE(dll.Loaded());
    copyModule = GetModuleHandleW(dll.Path().c_str());
    ImportHook hook(copyModule, "kernel32.dll", "GetModuleFileNameW", reinterpret_cast<void*>(&SlowModuleFileName));
    ASSERT_TRUE(hook.Installed());
    originalModuleFileName = hook.Original();
    std::atomic<int> green{0};
    OnThreads(8, [&](int) {
      const ComPtr<IContextMenu> menu = dll.CreateMenu();
      if (!menu) return;
      const QueryResult query = QueryMenu(menu.Get(), DropDataObject({folder / L"a.txt"}).Get());
      if (query.items.size() == 3 && MiddlePixel(query.items[1].bitmap) == 0xFF00C800) ++green;
    });
    EXPECT_EQ(green.load(), 8) << "copy " << copy << ": menus drawn before the module knew its path";
  }
}

constexpr wchar_t writerVariable[] = L"SYNCSHELL_HOSTILE_LOG_WRITER";

// One host of the DLL: eight threads open menus, each creation and release
// reading the switch again, each query logging its lines.
TEST(LogWriter, EightThreadsOpenMenusUntilTheirRoundsAreDone) {
  if (!GetEnvironmentVariableW(writerVariable, nullptr, 0)) GTEST_SKIP() << "runs as a child only";
  TempFolder folder;
  WriteBytes(folder / L"a.txt", "content");
  InstallLocationKey userInstall(HKEY_CURRENT_USER, folder.Path());
  const DllUnderTest dll;
  ASSERT_NE(dll.Module(), nullptr);
  std::atomic<int> menus{0};
  OnThreads(8, [&](int) {
    for (int round = 0; round < 60; ++round)
      if (OpenMenu(dll, {folder / L"a.txt"})) ++menus;
  });
  EXPECT_EQ(menus.load(), 8 * 60);
  EXPECT_TRUE(WaitUntil([&] { return dll.CanUnloadNow() == S_OK; }, callLimitMs));
}

TEST(Concurrency, TheLogStaysWholeWhileTwoProcessesOfEightThreadsWriteAndItsSwitchFlips) {
  LogFolder logFolder;
  LogSwitch logSwitch(HKEY_CURRENT_USER);
  logSwitch.SetDword(1);
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  TempFolder folder;
  SetEnvironmentVariableW(writerVariable, L"1");
  std::vector<std::unique_ptr<ChildProcess>> writers;
  for (int writer = 0; writer < 2; ++writer)
    writers.push_back(std::make_unique<ChildProcess>(L"\"" + std::wstring(program) + L"\" --gtest_filter=LogWriter.*",
                                                     folder / (L"writer" + std::to_wstring(writer) + L".txt")));
  SetEnvironmentVariableW(writerVariable, nullptr);
  int flips = 0;
  const ULONGLONG giveUp = GetTickCount64() + 240000;
  while ((writers[0]->Wait(0) == STILL_ACTIVE || writers[1]->Wait(0) == STILL_ACTIVE) && GetTickCount64() < giveUp) {
    logSwitch.SetDword(++flips % 2);
    Sleep(15);
  }
  for (int writer = 0; writer < 2; ++writer)
    EXPECT_EQ(writers[writer]->Wait(0), 0u) << ReadBytes(folder / (L"writer" + std::to_wstring(writer) + L".txt"));

  // Per host: whole lines only, banners alternating, nothing outside them.
  std::map<std::wstring, std::vector<std::wstring>> byHost;
  for (const LogLine& line : ReadLogLines(logFolder.LogPath())) {
    ASSERT_TRUE(line.wellFormed) << "torn line: " << Utf8(line.text);
    if (line.tag.starts_with(L"hostile_concurrency_tests.exe:") && line.tag != OwnSourceTag())
      byHost[line.tag].push_back(line.message);
  }
  EXPECT_GE(byHost.size(), 2u);
  for (const auto& [host, messages] : byHost) {
    bool open = false;
    int queries = 0;
    for (const std::wstring& message : messages) {
      if (message == L"=== start ===") {
        EXPECT_FALSE(open) << Utf8(host) << ": a second start";
        open = true;
      } else if (message == L"==== end ====") {
        EXPECT_TRUE(open) << Utf8(host) << ": an end without a start";
        open = false;
      } else {
        EXPECT_TRUE(open) << Utf8(host) << ": a line while the log was off: " << Utf8(message);
        queries += message == L"Called context menu";
      }
    }
    EXPECT_GT(queries, 0) << Utf8(host);
    std::printf("log host %ls: %zu lines, %d menus logged, %d switch flips\n", host.c_str(), messages.size(), queries,
                flips);
  }
}

}  // namespace
