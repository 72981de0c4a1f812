#include "support/logfiles.h"

#include <shlobj.h>

#include <regex>

constexpr wchar_t switchKey[] = L"Software\\Tamvera\\Sync";

LogFolder::LogFolder() {
  wchar_t appData[MAX_PATH] = {};
  SHGetSpecialFolderPathW(nullptr, appData, CSIDL_APPDATA, FALSE);
  folder = std::wstring(appData) + L"\\Tamvera Sync";
  created = CreateDirectoryW(folder.c_str(), nullptr) != FALSE;
  RemoveLogFiles();
}

LogFolder::~LogFolder() {
  RemoveLogFiles();
  if (created) RemoveDirectoryW(folder.c_str());
}

void LogFolder::RemoveLogFiles() const {
  DeleteFileW(LogPath().c_str());
  DeleteFileW(OldPath().c_str());
}

LogSwitch::LogSwitch(HKEY root) : root(root) {
  std::vector<BYTE> data(100000);
  DWORD size = static_cast<DWORD>(data.size());
  if (RegGetValueW(root, switchKey, L"ShellExtLog", RRF_RT_ANY | RRF_NOEXPAND, &previousType, data.data(), &size) ==
      ERROR_SUCCESS)
    previous.emplace(data.begin(), data.begin() + size);
}

LogSwitch::~LogSwitch() {
  if (previous) Set(previousType, *previous);
  else Remove();
}

void LogSwitch::Set(DWORD type, const std::vector<BYTE>& data) const {
  RegSetKeyValueW(root, switchKey, L"ShellExtLog", type, data.data(), static_cast<DWORD>(data.size()));
}

void LogSwitch::Remove() const { RegDeleteKeyValueW(root, switchKey, L"ShellExtLog"); }

std::vector<LogLine> ReadLogLines(const std::wstring& path, uint64_t from) {
  std::wstring text;
  HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file != INVALID_HANDLE_VALUE) {
    LARGE_INTEGER offset;
    offset.QuadPart = static_cast<LONGLONG>(from);
    SetFilePointerEx(file, offset, nullptr, FILE_BEGIN);
    wchar_t buffer[32768];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read / 2);
    CloseHandle(file);
  }
  static const std::wregex layout(LR"((\d{4}-\d\d-\d\d \d\d:\d\d:\d\d\.\d{3}) \(([^()]*)\) (.*))");
  std::vector<LogLine> lines;
  for (size_t start = 0, end; start < text.size(); start = end + 2) {
    end = std::min(text.find(L"\r\n", start), text.size());
    LogLine line;
    line.text = text.substr(start, end - start);
    std::wsmatch match;
    if (std::regex_match(line.text, match, layout))
      line = LogLine{line.text, match[1], match[2], match[3], true};
    lines.push_back(line);
  }
  return lines;
}

std::vector<std::wstring> MessagesOf(const std::vector<LogLine>& lines, const std::wstring& tag) {
  std::vector<std::wstring> messages;
  for (const LogLine& line : lines)
    if (line.tag == tag) messages.push_back(line.message);
  return messages;
}

std::wstring OwnSourceTag() {
  wchar_t buffer[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  const std::wstring path = buffer;
  return path.substr(path.find_last_of(L"\\/") + 1) + L":" + std::to_wstring(GetCurrentProcessId());
}
