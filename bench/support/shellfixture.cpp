#include "support/shellfixture.h"

#include <lmcons.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "util/strfmt.h"

namespace {

std::wstring ProgramFolder() {
  wchar_t buffer[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::wstring path = buffer;
  return path.substr(0, path.find_last_of(L"\\/"));
}

class DropDataObject final : public IDataObject {
 public:
  explicit DropDataObject(std::string bytes) : bytes(std::move(bytes)) {}

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
  std::atomic<ULONG> count{1};
  std::string bytes;
};

constexpr wchar_t uninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tamvera Sync";
constexpr wchar_t settingsKey[] = L"Software\\Tamvera\\Sync";
constexpr wchar_t userMutex[] = L"Local\\pipesynccmd_sync";

bool KeyExists(HKEY root, const wchar_t* key, REGSAM view) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

int64_t Micro(double ns) { return static_cast<int64_t>(ns / 1000 + 0.5); }
int64_t Hundredths(double ratio) { return static_cast<int64_t>(ratio * 100 + 0.5); }

}  // namespace

CLSID BenchClassId(unsigned classIndex) {
  wchar_t text[64];
  swprintf(text, 64, L"{581FFA%02X-FC33-0000-0602-95003A5CDE89}", classIndex);
  CLSID id{};
  CLSIDFromString(text, &id);
  return id;
}

BenchDll::BenchDll() {
  module = LoadLibraryW((ProgramFolder() + L"\\SyncShellContextMenu.dll").c_str());
  if (module)
    getClassObject =
        reinterpret_cast<GetClassObjectFn>(reinterpret_cast<void*>(GetProcAddress(module, "DllGetClassObject")));
  if (!getClassObject) fprintf(stderr, "cannot load SyncShellContextMenu.dll (%lu)\n", GetLastError());
}

BenchDll::~BenchDll() {
  if (module) FreeLibrary(module);
}

HRESULT BenchDll::CreateObject(unsigned classIndex, REFIID riid, void** ppv) const {
  if (!getClassObject) return E_FAIL;
  IClassFactory* factory = nullptr;
  HRESULT result = getClassObject(BenchClassId(classIndex), IID_IClassFactory, reinterpret_cast<void**>(&factory));
  if (FAILED(result)) return result;
  result = factory->CreateInstance(nullptr, riid, ppv);
  factory->Release();
  return result;
}

IDataObject* NewDropDataObject(const std::vector<std::wstring>& paths) {
  DROPFILES header{};
  header.pFiles = sizeof header;
  header.fWide = TRUE;
  std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
  for (const std::wstring& path : paths)
    bytes.append(reinterpret_cast<const char*>(path.c_str()), (path.size() + 1) * sizeof(wchar_t));
  bytes.append(paths.empty() ? 4 : 2, '\0');
  return new DropDataObject(std::move(bytes));
}

RunningApplication::RunningApplication(const std::wstring& installFolder) {
  const bool machineWide = KeyExists(HKEY_LOCAL_MACHINE, uninstallKey, KEY_WOW64_64KEY) ||
                           KeyExists(HKEY_LOCAL_MACHINE, uninstallKey, KEY_WOW64_32KEY);
  Set(uninstallKey, L"InstallLocation", REG_SZ, installFolder.c_str(),
      static_cast<DWORD>((installFolder.size() + 1) * sizeof(wchar_t)));
  const DWORD off = 0;
  const DWORD on = 1;
  Set(settingsKey, L"ShellExtLog", REG_DWORD, &off, sizeof off);
  Set(settingsKey, L"ShellMenuFileSharingEnable", REG_DWORD, &on, sizeof on);
  mutex = CreateMutexW(nullptr, FALSE, userMutex);
  ready = !machineWide && mutex;
  if (machineWide) fputs("a machine-wide install location exists: the scope would not be the user's\n", stderr);
}

void RunningApplication::SwitchLog(bool on) {
  const DWORD value = on ? 1 : 0;
  Set(settingsKey, L"ShellExtLog", REG_DWORD, &value, sizeof value);
}

RunningApplication::~RunningApplication() {
  if (mutex) CloseHandle(mutex);
  for (auto value = saved.rbegin(); value != saved.rend(); ++value) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, value->key.c_str(), 0, KEY_SET_VALUE, &key) != ERROR_SUCCESS) continue;
    if (value->existed)
      RegSetValueExW(key, value->name.c_str(), 0, value->type, value->data.data(),
                     static_cast<DWORD>(value->data.size()));
    else
      RegDeleteValueW(key, value->name.c_str());
    RegCloseKey(key);
  }
}

void RunningApplication::Set(const std::wstring& keyName, const std::wstring& name, DWORD type, const void* data,
                             DWORD size) {
  HKEY key = nullptr;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, keyName.c_str(), 0, nullptr, 0, KEY_READ | KEY_SET_VALUE, nullptr, &key,
                      nullptr) != ERROR_SUCCESS)
    return;
  SavedValue value;
  value.key = keyName;
  value.name = name;
  DWORD storedSize = 0;
  if (RegQueryValueExW(key, name.c_str(), nullptr, &value.type, nullptr, &storedSize) == ERROR_SUCCESS) {
    value.existed = true;
    value.data.resize(storedSize);
    RegQueryValueExW(key, name.c_str(), nullptr, &value.type, value.data.data(), &storedSize);
  }
  saved.push_back(std::move(value));
  RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), size);
  RegCloseKey(key);
}

BenchFolder::BenchFolder() {
  wchar_t base[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, base);
  path = base;
  if (!path.empty() && path.back() == L'\\') path.pop_back();
  path += L"\\ssbench-" + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(GetTickCount());
  CreateDirectoryW(path.c_str(), nullptr);
}

namespace {
void DeleteAll(const std::wstring& path) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((path + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring child = path + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
        DeleteAll(child);
      else
        DeleteFileW(child.c_str());
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(path.c_str());
}
}  // namespace

BenchFolder::~BenchFolder() { DeleteAll(path); }

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
  HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                            CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok =
      bytes.empty() || WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

void MakeFolder(const std::wstring& path) { CreateDirectoryW(path.c_str(), nullptr); }

void MakeSyncRoot(const std::wstring& root, int type, int mode, const std::wstring& owner) {
  MakeFolder(root);
  MakeFolder(root + L"\\.sync");
  WriteFileBytes(root + L"\\.sync\\ID", "");
  char ownerUtf8[4 * UNLEN + 4] = {};
  WideCharToMultiByte(CP_UTF8, 0, owner.c_str(), -1, ownerUtf8, sizeof ownerUtf8, nullptr, nullptr);
  const std::string record = FormatString("d4:modei%de5:owner%u:%s4:typei%dee", mode,
                                          static_cast<unsigned>(strlen(ownerUtf8)), ownerUtf8, type);
  WriteFileBytes(root + L"\\.sync\\ID:com.tamvera.Sync", record);
}

std::wstring UserName() {
  wchar_t name[UNLEN + 1] = {};
  DWORD size = UNLEN + 1;
  if (!GetUserNameW(name, &size)) return {};
  return name;
}

bool ReadStreamFloor(const std::wstring& streamPath) {
  HANDLE file = CreateFileW(streamPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  LARGE_INTEGER size{};
  char buffer[512];
  DWORD read = 0;
  if (GetFileSizeEx(file, &size) && size.QuadPart > 0)
    ReadFile(file, buffer, static_cast<DWORD>(std::min<LONGLONG>(size.QuadPart, sizeof buffer)), &read, nullptr);
  CloseHandle(file);
  return true;
}

std::wstring FindRootFloor(const std::wstring& path) {
  std::wstring candidate = path;
  for (;;) {
    const size_t backslash = candidate.find_last_of(L'\\');
    if (backslash == std::wstring::npos) return {};
    candidate.resize(backslash);
    const DWORD attributes = GetFileAttributesW((candidate + L"\\.sync\\ID").c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return candidate;
  }
}

double Samples::Median() const {
  if (values.empty()) return 0;
  std::vector<double> sorted = values;
  std::sort(sorted.begin(), sorted.end());
  const size_t middle = sorted.size() / 2;
  return sorted.size() % 2 ? sorted[middle] : (sorted[middle - 1] + sorted[middle]) / 2;
}

void ReportTimedRow(const char* benchmark, const char* caseName, const char* size, double medianNs,
                    double floorNs, double shellNs) {
  // Microseconds printed as milliseconds, ratios in hundredths, both as
  // fixed point by the formatter.
  std::string row = FormatString("TIME\t%s\t%s\t%s\t%:.3Ld\t", benchmark, caseName, size, Micro(medianNs));
  if (floorNs > 0)
    row += FormatString("%:.3Ld\t%:.2Ld\t", Micro(floorNs), Hundredths(medianNs / floorNs));
  else
    row += "-\t-\t";
  if (shellNs > 0)
    row += FormatString("%:.3Ld\t%:.2Ld\n", Micro(shellNs), Hundredths(medianNs / shellNs));
  else
    row += "-\t-\n";
  fputs(row.c_str(), stdout);
  fflush(stdout);
}
