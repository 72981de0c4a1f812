#pragma once
// Timing and reporting for the benchmarks: medians over repeated runs, each
// reported with the floor measured in the same run (work that the measured
// operation cannot avoid), so that noisy shared machines still give
// comparable ratios.
#include <cstddef>
#include <cstdint>
#include <functional>

// Nanoseconds of a monotonic clock.
double NowNs();

// The median of runs timings of perRun calls of work(), divided by perRun
// (for operations too short to time one at a time); afterRun, when given,
// runs untimed after each run (to free what the run made).
double MedianNs(const std::function<void()>& work, int runs, int perRun = 1,
                const std::function<void()>& afterRun = {});

// One result row, printed for scripts/bench to gather.
void ReportRow(const char* benchmark, const char* caseName, uint64_t bytes, double medianNs, double floorNs);

// Reads every byte (the least work of anything that looks at all of them);
// the result keeps the compiler from dropping the loop.
uint64_t TouchBytes(const void* data, size_t size);
