#include "log/extensionlog.h"

#include <windows.h>
#include <shlobj.h>

#include <cstdarg>
#include <cstdint>
#include <memory>
#include <string>

#include "log/logfile.h"
#include "log/logwritermutex.h"
#include "util/settingsroot.h"
#include "util/uniquehandle.h"
#include "util/fileinfo.h"
#include "util/ntdllimports.h"
#include "util/pathvector.h"
#include "util/strfmt.h"
#include "util/uniquehandle.h"

namespace {

constexpr wchar_t logFileTail[] = L"\\Tamvera Sync\\ShellExtCM.log";
constexpr wchar_t switchKey[] = L"Software\\Tamvera\\Sync";
constexpr wchar_t switchValue[] = L"ShellExtLog";
constexpr uint64_t rotationSize = 104857600;
constexpr int timePartSize = 48;

// A critical section that can also be tried without waiting, for the
// entry point's detach.
class LogLock {
 public:
  LogLock() { InitializeCriticalSection(&section); }
  ~LogLock() { DeleteCriticalSection(&section); }
  LogLock(const LogLock&) = delete;
  LogLock& operator=(const LogLock&) = delete;
  void Enter() { EnterCriticalSection(&section); }
  bool TryEnter() { return TryEnterCriticalSection(&section) != FALSE; }
  void Leave() { LeaveCriticalSection(&section); }

 private:
  CRITICAL_SECTION section;
};

class LogLockHold {
 public:
  explicit LogLockHold(LogLock& lock) : lock(lock) { lock.Enter(); }
  ~LogLockHold() { lock.Leave(); }
  LogLockHold(const LogLockHold&) = delete;
  LogLockHold& operator=(const LogLockHold&) = delete;

 private:
  LogLock& lock;
};

// Guards the log object, its switch and its file; from module load on,
// for every thread of the host.
LogLock logLock;

// A re-entrance flag set for one scope, cleared however the scope ends.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag(flag) { flag = true; }
  ~FlagScope() { flag = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag;
};

std::wstring HostFileName() {
  wchar_t buffer[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  if (length == 0) return {};
  return std::wstring(GetLastPathComponent(std::wstring_view(buffer, length < MAX_PATH ? length : MAX_PATH - 1)));
}

// The application owns the folder; the log never creates it.
std::wstring LogFilePath() {
  wchar_t folder[MAX_PATH] = {};
  if (!SHGetSpecialFolderPathW(nullptr, folder, CSIDL_APPDATA, FALSE)) return {};
  return std::wstring(folder) + logFileTail;
}

// Off only for a REG_DWORD 0: a missing, unreadable or odd value keeps
// the diagnostics on.
bool ReadLogSwitch() {
  UniqueRegistryKey key;
  if (RegOpenKeyExW(SettingsRoot(), switchKey, 0, KEY_READ | KEY_WOW64_64KEY, key.Put()) != ERROR_SUCCESS)
    return true;
  DWORD type = REG_NONE;
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExW(key.Get(), switchValue, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
      ERROR_SUCCESS)
    return true;
  return !(type == REG_DWORD && size == sizeof value && value == 0);
}

// Local time read in whole seconds, so the milliseconds always read 000.
std::string Timestamp() {
  SYSTEMTIME now{};
  GetSystemTime(&now);
  FILETIME fileTime{};
  SystemTimeToFileTime(&now, &fileTime);
  const LocalTime time = UnixTimeToLocalTime(FileTimeToUnixSeconds(fileTime));
  char text[2 * timePartSize] = {};
  char* timeText = text;
  const int dateLength = GetDateFormatA(LOCALE_USER_DEFAULT, 0, &time.local, "yyyy'-'MM'-'dd", text, timePartSize);
  if (dateLength > 0) {
    text[dateLength - 1] = ' ';
    timeText = text + dateLength;
  }
  GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &time.local, "HH':'mm':'ss", timeText, timePartSize);
  char stamp[2 * timePartSize + 16];
  FormatToBuffer(stamp, sizeof stamp, "%s.%.3d", text, static_cast<int>(time.local.wMilliseconds));
  return stamp;
}

class ExtensionLog {
 public:
  ExtensionLog()
      : sourceTag(FormatWideString(L"%s:%d", HostFileName().c_str(), static_cast<int>(GetCurrentProcessId()))),
        logPath(LogFilePath()) {}

  bool RefreshSwitch();
  void WriteLine(const wchar_t* format, va_list args);
  void Close();
  void CloseAtDetach();

 private:
  std::wstring Line(const std::wstring& message) const;
  bool Open();
  void FollowPath();
  void CheckRotation();

  std::wstring sourceTag;
  std::wstring logPath;
  bool enabled = false;
  bool rotating = false;
  bool closing = false;
  std::shared_ptr<LogFile> file;
  LogWriterMutex writers;
};

std::unique_ptr<ExtensionLog> extensionLog;

bool ExtensionLog::RefreshSwitch() {
  const bool switchOn = ReadLogSwitch();
  if (switchOn == enabled) return enabled;
  if (switchOn) {
    // On first, so that the start banner written by the open gets through.
    enabled = true;
    enabled = Open();
  } else {
    Close();
    enabled = false;
  }
  return enabled;
}

bool ExtensionLog::Open() {
  if (file) return true;
  auto opened = std::make_shared<LogFile>(PathVector(logPath).Join());
  if (!opened->Open(OpenMode::Append, false)) return false;
  file = std::move(opened);
  LogMessage(L"=== start ===");
  return true;
}

void ExtensionLog::Close() {
  if (!file || closing) return;
  FlagScope scope(closing);
  LogMessage(L"==== end ====");
  if (file) file->Close();
  file.reset();
}

void ExtensionLog::WriteLine(const wchar_t* format, va_list args) {
  if (!enabled || !file) return;
  const std::wstring line = Line(FormatWideStringV(format, args));

  LogWriterScope writer(writers);
  if (file->IsDeletePending()) {
    // Someone deleted the log while it was held: fall silent. Met again
    // during this close, it drops the end banner too.
    Close();
    return;
  }
  if (!rotating && !closing && file->IsReplacedAtPath()) FollowPath();
  if (!file) return;
  file->Write(line.data(), static_cast<uint32_t>(line.size() * sizeof(wchar_t)));
  file->Flush();
  CheckRotation();
}

std::wstring ExtensionLog::Line(const std::wstring& message) const {
  return FormatWideString(L"%S (%s) %s", Timestamp().c_str(), sourceTag.c_str(), message.c_str()) + L"\r\n";
}

// No following of a moved log and no rotation here: a writer of another
// process would make either wait.
void ExtensionLog::CloseAtDetach() {
  if (!file) return;
  if (enabled && writers.TryAcquire()) {
    const std::wstring line = Line(L"==== end ====");
    file->Write(line.data(), static_cast<uint32_t>(line.size() * sizeof(wchar_t)));
    writers.Release();
  }
  file->Close();
  file.reset();
}

// Another process moved the log aside: go on in the file now at the path
// instead of growing the old generation.
void ExtensionLog::FollowPath() {
  FlagScope scope(rotating);
  file->Close();
  file.reset();
  if (!Open()) enabled = false;
}

void ExtensionLog::CheckRotation() {
  if (!file || rotating) return;
  FlagScope scope(rotating);
  if (file->GetSize() <= rotationSize) return;
  const std::wstring path = file->Path();
  Close();
  // One old generation: while it exists the move fails and the current
  // log starts afresh.
  if (!MoveFileExW(path.c_str(), (path + L".old").c_str(), MOVEFILE_WRITE_THROUGH)) DeleteFileW(path.c_str());
  // A failed open is tried again at the next refresh of the switch.
  if (!Open()) enabled = false;
}

}  // namespace

void CreateExtensionLog() {
  try {
    LogLockHold hold(logLock);
    if (extensionLog) return;
    extensionLog = std::make_unique<ExtensionLog>();
    extensionLog->RefreshSwitch();
  } catch (...) {
  }
}

void DestroyExtensionLog() {
  try {
    LogLockHold hold(logLock);
    if (!extensionLog) return;
    extensionLog->Close();
    extensionLog.reset();
  } catch (...) {
  }
}

void DestroyExtensionLogAtDetach() {
  // A thread of this host that is writing a line (or one that the process
  // exit ended while it was) holds the lock: the object is then left as it is.
  if (!logLock.TryEnter()) return;
  try {
    if (extensionLog) {
      extensionLog->CloseAtDetach();
      extensionLog.reset();
    }
  } catch (...) {
  }
  logLock.Leave();
}

bool RefreshLogSwitch() {
  try {
    LogLockHold hold(logLock);
    return extensionLog && extensionLog->RefreshSwitch();
  } catch (...) {
    return false;
  }
}

void LogMessage(const wchar_t* format, ...) {
  if (!format) return;
  va_list args;
  va_start(args, format);
  try {
    LogLockHold hold(logLock);
    if (extensionLog) extensionLog->WriteLine(format, args);
  } catch (...) {
  }
  va_end(args);
}
