// Delivery threads seen from a host of the built DLL: they keep the DLL
// loaded while they run, and a host that unloads it the moment
// DllCanUnloadNow allows never has a thread run in unloaded code.
#include <windows.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <set>
#include <string>
#include <vector>

#include "droplist.h"
#include "fakeapp.h"
#include "support/dllundertest.h"

namespace {
constexpr UINT shareOffset = 1;
constexpr UINT downloadOffset = 2;

// The selection as Explorer hands it over: CF_HDROP only.
class DropDataObject final : public IDataObject {
 public:
  explicit DropDataObject(const std::vector<std::wstring>& paths) : drop(paths) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDataObject) return E_NOINTERFACE;
    *ppv = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    *medium = STGMEDIUM{};
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = drop.Duplicate();
    return medium->hGlobal ? S_OK : E_OUTOFMEMORY;
  }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    return format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    out->ptd = nullptr;
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override {
    return OLE_E_ADVISENOTSUPPORTED;
  }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return OLE_E_ADVISENOTSUPPORTED; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return OLE_E_ADVISENOTSUPPORTED; }

 private:
  std::atomic<ULONG> references{1};
  DropList drop;
};

template <typename F>
F Export(HMODULE module, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

HRESULT CanUnloadNow(HMODULE dll) { return Export<HRESULT(STDAPICALLTYPE*)()>(dll, "DllCanUnloadNow")(); }

// The context menu over the paths, its selection fetched as Explorer does
// before it invokes a command.
IContextMenu* OpenMenu(HMODULE dll, const std::vector<std::wstring>& paths) {
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  IClassFactory* factory = nullptr;
  if (FAILED(Export<GetClassObject>(dll, "DllGetClassObject")(TestClassId(0), IID_IClassFactory,
                                                                reinterpret_cast<void**>(&factory))))
    return nullptr;
  IContextMenu* menu = nullptr;
  factory->CreateInstance(nullptr, IID_IContextMenu, reinterpret_cast<void**>(&menu));
  factory->Release();
  if (!menu) return nullptr;
  IShellExtInit* init = nullptr;
  auto* selection = new DropDataObject(paths);
  if (SUCCEEDED(menu->QueryInterface(IID_IShellExtInit, reinterpret_cast<void**>(&init)))) {
    init->Initialize(nullptr, selection, nullptr);
    init->Release();
  }
  selection->Release();
  HMENU popup = CreatePopupMenu();
  menu->QueryContextMenu(popup, 0, 0, 0x7FFF, CMF_NORMAL);
  DestroyMenu(popup);
  return menu;
}

HRESULT Invoke(IContextMenu* menu, UINT offset) {
  CMINVOKECOMMANDINFO info{};
  info.cbSize = sizeof info;
  info.lpVerb = MAKEINTRESOURCEA(offset);
  info.nShow = SW_SHOWNORMAL;
  return menu->InvokeCommand(&info);
}

TEST(DeliveryThroughTheDll, KeepsTheDllLoadedUntilTheThreadEnds) {
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, uninstallKey);
  TempFolder install;
  ASSERT_TRUE(CopyFileW(FakeSyncAppPath().c_str(), (install / L"Tamvera Sync.exe").c_str(), FALSE));
  ScopedRegistryKey key(HKEY_CURRENT_USER, uninstallKey);
  ASSERT_TRUE(key.SetString(L"InstallLocation", install.Path()));
  StartedApplication started;

  DllUnderTest dll;
  ASSERT_NE(dll.Module(), nullptr);
  IContextMenu* menu = OpenMenu(dll.Module(), {L"D:\\Sync\\a.txt", L"D:\\Sync\\b.txt"});
  ASSERT_NE(menu, nullptr);
  EXPECT_EQ(Invoke(menu, downloadOffset), S_OK);
  menu->Release();
  EXPECT_EQ(dll.CanUnloadNow(), S_FALSE) << "the delivery thread is still starting the application";

  std::vector<ReceivedMessage> received;
  EXPECT_TRUE(WaitUntil(
      [&] {
        received = ParseRecordFile(ReadBytes(install / L"received.txt"));
        return received.size() >= 2;
      },
      30000));
  EXPECT_TRUE(WaitUntil([&] { return dll.CanUnloadNow() == S_OK; }, 10000));
  ASSERT_EQ(received.size(), 2u);
  EXPECT_EQ(received[1].bytes, "d6:actioni3e4:lasti1e4:path13:D:\\Sync\\b.txte");
}

constexpr wchar_t hostMarkerVariable[] = L"SYNCSHELL_UNLOADING_HOST_MARKER";

// An unhandled fault ends a process under Wine without a failing exit code,
// so the impatient host runs as a child and proves that it survived by the
// marker it writes at its very end.
TEST(DeliveryThroughTheDll, HostThatUnloadsAsSoonAsAllowedSurvivesFinishingDeliveries) {
  TempFolder folder;
  const std::wstring marker = folder / L"survived";
  wchar_t program[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, program, MAX_PATH);
  SetEnvironmentVariableW(hostMarkerVariable, marker.c_str());
  ChildProcess host(L"\"" + std::wstring(program) + L"\" --gtest_filter=UnloadingHost.*", folder / L"host.txt");
  SetEnvironmentVariableW(hostMarkerVariable, nullptr);
  ASSERT_TRUE(host.Started());
  EXPECT_EQ(host.Wait(180000), 0u);
  KillProcessesNamed(L"fakesyncapp.exe");
  EXPECT_EQ(ReadBytes(marker), "survived") << ReadBytes(folder / L"host.txt");
}

TEST(UnloadingHost, UnloadsTheMomentTheDllAllowsWhileDeliveriesFinish) {
  wchar_t marker[MAX_PATH] = {};
  if (!GetEnvironmentVariableW(hostMarkerVariable, marker, MAX_PATH)) GTEST_SKIP() << "runs as a child only";
  RegDeleteTreeW(HKEY_CURRENT_USER, uninstallKey);
  RegDeleteTreeW(HKEY_LOCAL_MACHINE, uninstallKey);
  FakeSyncApp app;
  ASSERT_TRUE(app.WaitReady());
  constexpr int rounds = 20;
  constexpr int invocationsPerRound = 5;
  std::set<std::string> expected;
  for (int round = 0; round < rounds; ++round) {
    const std::wstring path = L"D:\\Sync\\round" + std::to_wstring(round) + L".txt";
    expected.insert("d6:actioni7e5:filesl" + std::to_string(path.size()) + ":" +
                    std::string(path.begin(), path.end()) + "e4:lasti1ee");
    HMODULE dll = LoadLibraryW(DllUnderTest::Path().c_str());
    ASSERT_NE(dll, nullptr);
    IContextMenu* menu = OpenMenu(dll, {path});
    ASSERT_NE(menu, nullptr);
    for (int i = 0; i < invocationsPerRound; ++i) EXPECT_EQ(Invoke(menu, shareOffset), S_OK);
    menu->Release();
    const ULONGLONG giveUp = GetTickCount64() + 20000;
    while (CanUnloadNow(dll) != S_OK && GetTickCount64() < giveUp) {
    }
    ASSERT_EQ(CanUnloadNow(dll), S_OK);
    FreeLibrary(dll);
  }
  const auto received = app.WaitForMessages(rounds * invocationsPerRound, 30000);
  ASSERT_EQ(received.size(), static_cast<size_t>(rounds * invocationsPerRound));
  for (const auto& message : received) EXPECT_EQ(expected.count(message.bytes), 1u) << message.bytes;
  EXPECT_TRUE(WaitUntil([] { return GetModuleHandleW(L"SyncShellContextMenu.dll") == nullptr; }, 10000))
      << "every thread gave its reference back";
  if (!HasFailure()) WriteBytes(marker, "survived");
}

}  // namespace
