#include "contextmenu/menuharness.h"

#include <lmcons.h>

#include <atomic>
#include <cstring>

#include "support/childprocess.h"
#include "support/dllundertest.h"

namespace {

class DataObject final : public IDataObject {
 public:
  DataObject(bool offersDrop, std::string bytes) : offersDrop(offersDrop), bytes(std::move(bytes)) {}

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (riid != IID_IUnknown && riid != IID_IDataObject) return E_NOINTERFACE;
    *ppv = static_cast<IDataObject*>(this);
    AddRef();
    return S_OK;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++count; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --count;
    if (left == 0) delete this;
    return left;
  }
  HRESULT STDMETHODCALLTYPE GetData(FORMATETC* format, STGMEDIUM* medium) override {
    if (QueryGetData(format) != S_OK) return DV_E_FORMATETC;
    HGLOBAL global = GlobalAlloc(GMEM_MOVEABLE, bytes.size());
    if (!global) return E_OUTOFMEMORY;
    std::memcpy(GlobalLock(global), bytes.data(), bytes.size());
    GlobalUnlock(global);
    *medium = STGMEDIUM{};
    medium->tymed = TYMED_HGLOBAL;
    medium->hGlobal = global;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE QueryGetData(FORMATETC* format) override {
    return offersDrop && format->cfFormat == CF_HDROP && (format->tymed & TYMED_HGLOBAL) ? S_OK
                                                                                          : DV_E_FORMATETC;
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
  std::atomic<ULONG> count{0};
  bool offersDrop;
  std::string bytes;
};

ComPtr<IDataObject> MakeDataObject(bool offersDrop, std::string bytes) {
  return ComPtr<IDataObject>(new DataObject(offersDrop, std::move(bytes)));
}

std::string Bencoded(const std::string& text) { return std::to_string(text.size()) + ":" + text; }

const wchar_t* const uninstallKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tamvera Sync";

}  // namespace

std::string DropListBytes(const std::vector<std::wstring>& paths) {
  DROPFILES header{};
  header.pFiles = sizeof header;
  header.fWide = TRUE;
  std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
  for (const std::wstring& path : paths)
    bytes.append(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * sizeof(wchar_t));
  bytes.append(paths.empty() ? 4 : 2, '\0');
  return bytes;
}

ComPtr<IDataObject> DropDataObject(const std::vector<std::wstring>& paths) {
  return MakeDataObject(true, DropListBytes(paths));
}
ComPtr<IDataObject> RawDropDataObject(std::string bytes) { return MakeDataObject(true, std::move(bytes)); }
ComPtr<IDataObject> EmptyDataObject() { return MakeDataObject(false, {}); }

void MakeSyncRoot(const std::wstring& root, const std::string& record) {
  CreateFolder(root);
  CreateFolder(root + L"\\.sync");
  WriteBytes(root + L"\\.sync\\ID", "");
  WriteBytes(root + L"\\.sync\\ID:com.tamvera.Sync", record);
}

std::string FolderRecord(int type, int mode, const std::wstring& owner, bool disableRemoveFromAll) {
  std::string record = "d";
  if (disableRemoveFromAll) record += "31:disable_remove_from_all_devicesi1e";
  record += "4:modei" + std::to_string(mode) + "e";
  record += "5:owner" + Bencoded(Utf8(owner));
  record += "4:typei" + std::to_string(type) + "e";
  return record + "e";
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
  const int count = GetMenuItemCount(menu);
  for (int position = 0; position < count; ++position) {
    wchar_t text[512] = {};
    MENUITEMINFOW info{};
    info.cbSize = sizeof info;
    info.fMask = MIIM_STRING | MIIM_ID | MIIM_STATE | MIIM_BITMAP;
    info.dwTypeData = text;
    info.cch = 512;
    GetMenuItemInfoW(menu, position, TRUE, &info);
    items.push_back({text, info.wID, (info.fState & MFS_GRAYED) != 0, info.hbmpItem});
  }
  return items;
}

void EnsureLogFolder() {
  wchar_t appData[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, TRUE);
  CreateFolder(std::wstring(appData) + L"\\Tamvera Sync");
}

std::vector<std::wstring> LogMessagesOfThisProcess() {
  wchar_t appData[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE);
  const std::string bytes = ReadBytes(std::wstring(appData) + L"\\Tamvera Sync\\ShellExtCM.log");
  const std::wstring text(reinterpret_cast<const wchar_t*>(bytes.data()), bytes.size() / sizeof(wchar_t));
  wchar_t exe[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, exe, MAX_PATH);
  std::wstring tag = exe;
  tag = L"(" + tag.substr(tag.find_last_of(L"\\/") + 1) + L":" + std::to_wstring(GetCurrentProcessId()) + L") ";
  std::vector<std::wstring> messages;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find(L"\r\n", start);
    if (end == std::wstring::npos) end = text.size();
    const std::wstring line = text.substr(start, end - start);
    const size_t at = line.find(tag);
    if (at != std::wstring::npos) messages.push_back(line.substr(at + tag.size()));
    start = end + 2;
  }
  return messages;
}

InstallLocationKey::InstallLocationKey(HKEY root, const std::wstring& location, DWORD type)
    : ScopedRegistryKey(root, uninstallKey) {
  SetString(L"InstallLocation", location, type);
}

std::wstring PlaceDllCopy(const std::wstring& folder) {
  CreateFolder(folder);
  const std::wstring path = folder + L"\\SyncShellContextMenu.dll";
  return CopyFileW(DllUnderTest::Path().c_str(), path.c_str(), FALSE) ? path : std::wstring();
}

DllCopy::DllCopy(const std::wstring& folder, const std::wstring& linkFrom) {
  if (linkFrom.empty()) {
    path = PlaceDllCopy(folder);
  } else {
    CreateFolder(folder);
    path = folder + L"\\SyncShellContextMenu.dll";
    if (!CreateHardLinkW(path.c_str(), linkFrom.c_str(), nullptr)) path.clear();
  }
  if (!path.empty()) module = LoadLibraryW(path.c_str());
}

DllCopy::~DllCopy() {
  if (!module) return;
  using CanUnload = HRESULT(STDAPICALLTYPE*)();
  const auto canUnload =
      reinterpret_cast<CanUnload>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
  // A delivery thread still runs inside the module: let it finish first.
  WaitUntil([&] { return canUnload() == S_OK; }, 40000);
  FreeLibrary(module);
}

ComPtr<IClassFactory> DllCopy::Factory() const {
  using GetClassObject = HRESULT(STDAPICALLTYPE*)(REFCLSID, REFIID, void**);
  const auto get =
      reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
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
  info.cbSize = sizeof info;
  info.fMask = MIM_STYLE;
  info.dwStyle = MNS_NOTIFYBYPOS;
  SetMenuInfo(target, &info);
  query.result = menu->QueryContextMenu(target, 1, firstId, 0x7FFF, flags);
  query.items = ReadMenu(target);
  GetMenuInfo(target, &info);
  query.style = info.dwStyle;
  DestroyMenu(target);
  return query;
}
