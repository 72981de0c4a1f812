#include "support/benchreport.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "util/strfmt.h"

double NowNs() {
  static const double nsPerTick = [] {
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return 1e9 / static_cast<double>(frequency.QuadPart);
  }();
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return static_cast<double>(now.QuadPart) * nsPerTick;
}

double MedianNs(const std::function<void()>& work, int runs, int perRun, const std::function<void()>& afterRun) {
  std::vector<double> times;
  for (int run = 0; run < runs; ++run) {
    const double start = NowNs();
    for (int i = 0; i < perRun; ++i) work();
    times.push_back((NowNs() - start) / perRun);
    if (afterRun) afterRun();
  }
  std::sort(times.begin(), times.end());
  const size_t middle = times.size() / 2;
  return times.size() % 2 ? times[middle] : (times[middle - 1] + times[middle]) / 2;
}

void ReportRow(const char* benchmark, const char* caseName, uint64_t bytes, double medianNs, double floorNs) {
  // Hundredths of a nanosecond per byte and of the ratio, printed as fixed
  // point by the formatter.
  const auto perByte = static_cast<int64_t>(medianNs * 100 / static_cast<double>(bytes ? bytes : 1) + 0.5);
  const auto floorPerByte = static_cast<int64_t>(floorNs * 100 / static_cast<double>(bytes ? bytes : 1) + 0.5);
  const auto ratio = static_cast<int64_t>(floorNs > 0 ? medianNs * 100 / floorNs + 0.5 : 0);
  const std::string row = FormatString("ROW\t%s\t%s\t%Z\t%:.3Ld\t%:.2Ld\t%:.2Ld\t%:.2Ld\n", benchmark, caseName,
                                       bytes, static_cast<int64_t>(medianNs / 1000 + 0.5), perByte, floorPerByte,
                                       ratio);
  fputs(row.c_str(), stdout);
  fflush(stdout);
}

uint64_t TouchBytes(const void* data, size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  uint64_t sum = 0;
  for (size_t i = 0; i < size; ++i) sum = sum * 31 + bytes[i];
  return sum;
}
