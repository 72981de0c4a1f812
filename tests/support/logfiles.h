#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// "<roaming application data>\Tamvera Sync" exists, without log files, for
// the life of the object; the folder goes again when the object made it.
class LogFolder {
 public:
  LogFolder();
  ~LogFolder();
  LogFolder(const LogFolder&) = delete;
  LogFolder& operator=(const LogFolder&) = delete;

  std::wstring Folder() const { return folder; }
  std::wstring LogPath() const { return folder + L"\\ShellExtCM.log"; }
  std::wstring OldPath() const { return LogPath() + L".old"; }
  void RemoveLogFiles() const;

 private:
  std::wstring folder;
  bool created = false;
};

// The "ShellExtLog" value under Software\Tamvera\Sync of a root, put back
// as it was when the object goes.
class LogSwitch {
 public:
  explicit LogSwitch(HKEY root);
  ~LogSwitch();
  LogSwitch(const LogSwitch&) = delete;
  LogSwitch& operator=(const LogSwitch&) = delete;

  void Set(DWORD type, const std::vector<BYTE>& data) const;
  void SetDword(DWORD value) const {
    Set(REG_DWORD, {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)});
  }
  void Remove() const;

 private:
  HKEY root;
  DWORD previousType = REG_NONE;
  std::optional<std::vector<BYTE>> previous;
};

// A line "yyyy-mm-dd hh:mm:ss.mmm (tag) message"; wellFormed false otherwise.
struct LogLine {
  std::wstring text, timestamp, tag, message;
  bool wellFormed = false;
};

// The lines of a UTF-16LE log file from a byte offset on.
std::vector<LogLine> ReadLogLines(const std::wstring& path, uint64_t from = 0);
std::vector<std::wstring> MessagesOf(const std::vector<LogLine>& lines, const std::wstring& tag);
// "<this program's file name>:<process id>"
std::wstring OwnSourceTag();
