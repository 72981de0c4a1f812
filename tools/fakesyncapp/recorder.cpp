#include "recorder.h"

#include <cstdio>

#include "bencode/bencparser.h"
#include "bencode/bencrender.h"

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

std::string DescribeBencode(const std::string& bytes) {
  BencEntity value;
  const char* end = BencParse(bytes.data(), bytes.data() + bytes.size(), value);
  if (!end) return "<malformed bencode>";
  ByteBuffer text;
  RenderJson(text, value, JsonStringMode::Escaped);
  std::string description(text.View());
  if (end != bytes.data() + bytes.size()) description += " <trailing bytes>";
  return description;
}
