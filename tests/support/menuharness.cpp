#include "support/menuharness.h"

#include <lmcons.h>

#include <algorithm>
#include <atomic>
#include <cstring>

#include "support/childprocess.h"
#include "support/dllundertest.h"

namespace {

// Offers CF_HDROP over fixed bytes, or no format at all.
class DataObject final : public IDataObject {
 public:
  DataObject(bool offersDrop, std::string bytes) : offersDrop(offersDrop), bytes(std::move(bytes)) {}
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    *ppv = riid == IID_IUnknown || riid == IID_IDataObject ? static_cast<IDataObject*>(this) : nullptr;
    return *ppv ? (AddRef(), S_OK) : E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --count;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    *medium = STGMEDIUM{};
    medium->tymed = TYMED_HGLOBAL;
    if (!(medium->hGlobal = GlobalAlloc(GMEM_FIXED, bytes.size()))) return E_OUTOFMEMORY;
    std::memcpy(medium->hGlobal, bytes.data(), bytes.size());
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* f) override {
    return offersDrop && f->cfFormat == CF_HDROP && (f->tymed & TYMED_HGLOBAL) ? S_OK : DV_E_FORMATETC;
  }
  HRESULT STDMETHODCALLTYPE GetDataHere(FORMATETC*, STGMEDIUM*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetCanonicalFormatEtc(FORMATETC*, FORMATETC* out) override {
    return out->ptd = nullptr, E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE SetData(FORMATETC*, STGMEDIUM*, BOOL) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumFormatEtc(DWORD, IEnumFORMATETC**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DAdvise(FORMATETC*, DWORD, IAdviseSink*, DWORD*) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE DUnadvise(DWORD) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE EnumDAdvise(IEnumSTATDATA**) override { return E_NOTIMPL; }

 private:
  std::atomic<ULONG> count{0};
  bool offersDrop;
  std::string bytes;
};

std::wstring AppDataFolder() {
  wchar_t appData[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, TRUE);
  return std::wstring(appData) + L"\\Tamvera Sync";
}

template <typename Function>
Function Export(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

std::string DropListBytes(const std::vector<std::wstring>& paths) {
  const DROPFILES header{sizeof header, {}, FALSE, TRUE};
  std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
  for (const std::wstring& path : paths)
    bytes.append(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * sizeof(wchar_t));
  return bytes.append(paths.empty() ? 4 : 2, '\0');
}

ComPtr<IDataObject> DropDataObject(const std::vector<std::wstring>& paths) {
  return RawDropDataObject(DropListBytes(paths));
}
ComPtr<IDataObject> RawDropDataObject(std::string bytes) { return new DataObject(true, std::move(bytes)); }
ComPtr<IDataObject> EmptyDataObject() { return new DataObject(false, {}); }

void MakeSyncRoot(const std::wstring& root, const std::string& record) {
  CreateFolder(root);
  CreateFolder(root + L"\\.sync");
  WriteBytes(root + L"\\.sync\\ID", "");
  WriteBytes(root + L"\\.sync\\ID:com.tamvera.Sync", record);
}

std::string FolderRecord(int type, int mode, const std::wstring& owner, bool disableRemoveFromAll) {
  const std::string name = Utf8(owner);
  return std::string("d") + (disableRemoveFromAll ? "31:disable_remove_from_all_devicesi1e" : "") + "4:modei" +
         std::to_string(mode) + "e5:owner" + std::to_string(name.size()) + ":" + name + "4:typei" +
         std::to_string(type) + "ee";
}

void MakePlaceholder(const std::wstring& path, const std::string& state) {
  WriteBytes(path, "");
  WriteBytes(path + L":com.tamvera.Sync", state);
}

std::wstring CurrentUser() {
  wchar_t name[UNLEN + 1] = {};
  DWORD size = UNLEN + 1;
  GetUserNameW(name, &size);
  return name;
}

std::vector<MenuItem> ReadMenu(HMENU menu) {
  std::vector<MenuItem> items;
  for (int position = 0; position < GetMenuItemCount(menu); ++position) {
    wchar_t text[512] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info, info.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_BITMAP;
    info.dwTypeData = text, info.cch = 512;
    GetMenuItemInfoW(menu, position, TRUE, &info);
    items.push_back({text, info.wID, (info.fState & MFS_GRAYED) != 0, info.hbmpItem});
  }
  return items;
}

void EnsureLogFolder() { CreateFolder(AppDataFolder()); }

std::vector<std::wstring> LogMessagesOfThisProcess() {
  const std::string bytes = ReadBytes(AppDataFolder() + L"\\ShellExtCM.log");
  const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  const std::wstring name = exe;
  const std::wstring tag =
      L"(" + name.substr(name.find_last_of(L"\\/") + 1) + L":" + std::to_wstring(GetCurrentProcessId()) + L") ";
  std::vector<std::wstring> messages;
  for (size_t start = 0, end; start < text.size(); start = end + 2) {
    end = std::min(text.find(L"\r\n", start), text.size());
    const std::wstring line = text.substr(start, end - start);
    if (const size_t at = line.find(tag); at != std::wstring::npos) messages.push_back(line.substr(at + tag.size()));
  }
  return messages;
}

InstallLocationKey::InstallLocationKey(HKEY root, const std::wstring& location, DWORD type)
    : ScopedRegistryKey(root, L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tamvera Sync") {
  SetString(L"InstallLocation", location, type);
}

std::wstring PlaceDllCopy(const std::wstring& folder) {
  CreateFolder(folder);
  const std::wstring path = folder + L"\\SyncShellContextMenu.dll";
  return CopyFileW(DllUnderTest::Path().c_str(), path.c_str(), FALSE) ? path : std::wstring();
}

DllCopy::DllCopy(const std::wstring& folder, const std::wstring& linkFrom) {
  CreateFolder(folder);
  path = folder + L"\\SyncShellContextMenu.dll";
  if (linkFrom.empty() ? CopyFileW(DllUnderTest::Path().c_str(), path.c_str(), FALSE)
                       : CreateHardLinkW(path.c_str(), linkFrom.c_str(), nullptr))
    module = LoadLibraryW(path.c_str());
  else
    path.clear();
}

DllCopy::~DllCopy() {
  if (!module) return;
  // A delivery thread still runs inside the module: let it finish first.
  const auto canUnload = Export<HRESULT(STDAPICALLTYPE*)()>(module, "DllCanUnloadNow");
  WaitUntil([&] { return canUnload() == S_OK; }, 40000);
  FreeLibrary(module);
}

ComPtr<IClassFactory> DllCopy::Factory() const {
  const auto get = Export<HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**)>(module, "DllGetClassObject");
  ComPtr<IClassFactory> factory;
  if (get) get(TestClassId(0), IID_PPV_ARGS(&factory));
  return factory;
}

ComPtr<IContextMenu> DllCopy::CreateMenu() const {
  ComPtr<IContextMenu> menu;
  if (const ComPtr<IClassFactory> factory = Factory()) factory->CreateInstance(nullptr, IID_PPV_ARGS(&menu));
  return menu;
}

QueryResult QueryMenu(IContextMenu* menu, IDataObject* selection, UINT flags) {
  QueryResult query;
  ComPtr<IShellExtInit> init;
  if (FAILED(menu->QueryInterface(IID_PPV_ARGS(&init)))) return query;
  init->Initialize(nullptr, selection, nullptr);
  HMENU target = CreatePopupMenu();
  AppendMenuW(target, MF_STRING, 1, L"before");
  AppendMenuW(target, MF_STRING, 2, L"after");
  MENUINFO info{};
  info.cbSize = sizeof info, info.fMask = MIM_STYLE, info.dwStyle = MNS_NOTIFYBYPOS;
  SetMenuInfo(target, &info);
  query.result = menu->QueryContextMenu(target, 1, firstId, 0x7FFF, flags);
  query.items = ReadMenu(target);
  GetMenuInfo(target, &info);
  query.style = info.dwStyle;
  DestroyMenu(target);
  return query;
}
