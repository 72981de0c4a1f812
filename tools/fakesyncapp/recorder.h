#pragma once
#include <windows.h>

#include <atomic>
#include <mutex>
#include <string>

// Appends each received message to the record file, whole and in arrival
// order, and prints it readably on standard output.
class Recorder {
 public:
  Recorder(std::wstring path, bool quiet);
  ~Recorder();
  bool Ok() const { return file != INVALID_HANDLE_VALUE; }
  void Record(unsigned connection, const std::string& message);
  unsigned Count() const { return count.load(); }
  ULONGLONG LastActivity() const { return lastActivity.load(); }

 private:
  std::mutex lock;
  HANDLE file = INVALID_HANDLE_VALUE;
  bool quiet;
  std::atomic<unsigned> count{0};
  std::atomic<ULONGLONG> lastActivity;
};

// A message shown as text through the extension's own diagnostic rendering.
std::string DescribeBencode(const std::string& bytes);
