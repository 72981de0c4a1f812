#include "support/shellfixture.h"

#include <lmcons.h>
#include <shlobj.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "support/benchreport.h"
#include "util/strfmt.h"

namespace {

constexpr wchar_t uninstallKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Tamvera Sync";
constexpr wchar_t settingsKey[] = L"Software\\Tamvera\\Sync";
constexpr wchar_t userMutex[] = L"Local\\pipesynccmd_sync";

bool KeyExists(HKEY root, const wchar_t* key, REGSAM view) {
  HKEY opened = nullptr;
  if (RegOpenKeyExW(root, key, 0, KEY_READ | view, &opened) != ERROR_SUCCESS) return false;
  RegCloseKey(opened);
  return true;
}

std::string PlaceholderState(int progress) {
  return progress < 0 ? std::string("d8:kvx_typei1ee") : FormatString("d10:kvx_statusi%de8:kvx_typei1ee", progress);
}

int64_t Micro(double ns) { return static_cast<int64_t>(ns / 1000 + 0.5); }
int64_t Hundredths(double ratio) { return static_cast<int64_t>(ratio * 100 + 0.5); }

}  // namespace

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

bool RightClick(const DllUnderTest& dll, IDataObject* selection, int* itemCount, UINT flags) {
  IShellExtInit* init = nullptr;
  if (FAILED(dll.CreateObject(userMenuClass, IID_IShellExtInit, reinterpret_cast<void**>(&init)))) return false;
  init->Initialize(nullptr, selection, nullptr);
  IContextMenu* menu = nullptr;
  init->QueryInterface(IID_IContextMenu, reinterpret_cast<void**>(&menu));
  HMENU popup = CreatePopupMenu();
  const HRESULT result = menu->QueryContextMenu(popup, 0, 1, 0x7FFF, flags);
  if (itemCount) *itemCount = GetMenuItemCount(popup);
  menu->Release();
  init->Release();
  DestroyMenu(popup);
  return result == MAKE_HRESULT(SEVERITY_SUCCESS, 0, (flags & CMF_DEFAULTONLY) ? 0 : 6);
}

std::vector<std::wstring> MakeItems(const std::wstring& folder, size_t folders, size_t total, const char* kinds) {
  CreateFolder(folder);
  std::vector<std::wstring> paths;
  for (size_t i = 0; i < folders; ++i) {
    paths.push_back(folder + FormatWideString(L"\\Folder %03u", static_cast<unsigned>(i)));
    CreateFolder(paths.back());
  }
  const size_t kindCount = strlen(kinds);
  for (size_t i = 0; paths.size() < total; ++i) {
    const char kind = kinds[i % kindCount];
    const unsigned number = static_cast<unsigned>(i);
    if (kind == 'f') {
      paths.push_back(folder + FormatWideString(L"\\item %04u.txt", number));
      WriteBytes(paths.back(), "content");
    } else {
      paths.push_back(folder + FormatWideString(L"\\item %04u.docx.tmvs", number));
      WriteBytes(paths.back(), "");
      WriteBytes(paths.back() + L":com.tamvera.Sync", PlaceholderState(kind == 'r' ? 40 : -1));
    }
  }
  return paths;
}

BenchSelections MakeBenchSelections(const std::wstring& base) {
  BenchSelections made;
  made.root = base + L"\\Sync";
  MakeSyncRoot(made.root, FolderRecord(2, 1, CurrentUser()));
  made.mixed = MakeItems(made.root + L"\\Docs", 50, 1000, mixedKinds);
  made.noDownload = MakeItems(made.root + L"\\Archive", 50, 1000, everyItemKinds);
  CreateFolder(base + L"\\Outside");
  made.outsideFile = base + L"\\Outside\\notes.txt";
  WriteBytes(made.outsideFile, "content");
  return made;
}

std::vector<double> InterleavedMedians(const std::vector<std::function<void()>>& work, int rounds, int perRun) {
  std::vector<Samples> samples(work.size());
  for (int round = 0; round <= rounds; ++round) {
    for (size_t piece = 0; piece < work.size(); ++piece) {
      const double start = NowNs();
      for (int i = 0; i < perRun; ++i) work[piece]();
      if (round > 0) samples[piece].Add((NowNs() - start) / perRun);
    }
  }
  std::vector<double> medians;
  for (const Samples& piece : samples) medians.push_back(piece.Median());
  return medians;
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
