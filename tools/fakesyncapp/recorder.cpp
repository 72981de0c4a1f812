#include "recorder.h"

#include <cstdio>
#include <vector>

Recorder::Recorder(std::wstring path, bool quiet) : quiet(quiet), lastActivity(GetTickCount64()) {
  file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
}

Recorder::~Recorder() {
  if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
}

void Recorder::Record(unsigned connection, const std::string& message) {
  std::lock_guard<std::mutex> guard(lock);
  char header[64];
  const int headerLength =
      std::snprintf(header, sizeof header, "message %u %zu\n", connection, message.size());
  std::string entry(header, headerLength);
  entry += message;
  entry += '\n';
  DWORD written = 0;
  WriteFile(file, entry.data(), static_cast<DWORD>(entry.size()), &written, nullptr);
  FlushFileBuffers(file);
  ++count;
  lastActivity = GetTickCount64();
  if (!quiet) {
    std::printf("received (connection %u, %zu bytes): %s\n", connection, message.size(),
                DescribeBencode(message).c_str());
    std::fflush(stdout);
  }
}

namespace {
void AppendQuoted(std::string& out, const char* data, size_t length) {
  out += '"';
  for (size_t i = 0; i < length; ++i) {
    const unsigned char c = static_cast<unsigned char>(data[i]);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 32) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\x%02x", c);
      out += escape;
    } else {
      out += static_cast<char>(c);  // UTF-8 passes through for the terminal
    }
  }
  out += '"';
}
}  // namespace

std::string DescribeBencode(const std::string& bytes) {
  std::string out;
  std::vector<char> open;  // 'l' or 'd'; in a dictionary, whether a key is due
  std::vector<bool> keyDue;
  std::vector<bool> first;
  size_t i = 0;
  auto separator = [&]() {
    if (open.empty()) return;
    if (open.back() == 'd' && !keyDue.back()) {
      out += ": ";
    } else if (!first.back()) {
      out += ", ";
    }
    first.back() = false;
  };
  auto valueDone = [&]() {
    if (!open.empty() && open.back() == 'd') keyDue.back() = !keyDue.back();
  };
  while (i < bytes.size()) {
    const char c = bytes[i];
    if (c == 'e') {
      if (open.empty()) break;
      out += open.back() == 'd' ? " }" : " ]";
      open.pop_back();
      keyDue.pop_back();
      first.pop_back();
      ++i;
      valueDone();
    } else if (c == 'l' || c == 'd') {
      separator();
      out += c == 'd' ? "{ " : "[ ";
      open.push_back(c);
      keyDue.push_back(true);
      first.push_back(true);
      ++i;
    } else if (c == 'i') {
      separator();
      const size_t end = bytes.find('e', i);
      if (end == std::string::npos) break;
      out += bytes.substr(i + 1, end - i - 1);
      i = end + 1;
      valueDone();
    } else if (c >= '0' && c <= '9') {
      separator();
      const size_t colon = bytes.find(':', i);
      if (colon == std::string::npos) break;
      const unsigned long long length = std::strtoull(bytes.substr(i, colon - i).c_str(), nullptr, 10);
      if (length > bytes.size() - colon - 1) break;
      AppendQuoted(out, bytes.data() + colon + 1, static_cast<size_t>(length));
      i = colon + 1 + static_cast<size_t>(length);
      valueDone();
    } else {
      break;
    }
  }
  if (i < bytes.size() || !open.empty()) out += " <malformed>";
  return out;
}
