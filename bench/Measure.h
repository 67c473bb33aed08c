#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string_view>
#include <vector>

namespace qk::bench {

// What the measurement programs share: percentiles, CPU time and resident memory of this
// or another process, and the "result: NAME=VALUE" lines that bench/run collects into its
// table. Nothing here decides what a figure means or whether it meets a goal.

// The nearest-rank percentile (`percent` from 0 to 100) of `samples`; 0 when empty.
double Percentile(std::vector<double> samples, double percent);

// User plus system CPU seconds of this process, all threads (getrusage).
double CpuSeconds();
// The same for another process, from /proc/PID/stat; negative when it cannot be read.
double CpuSecondsOf(pid_t pid);

// Resident memory of a process in bytes (/proc/PID/statm); 0 when it cannot be read.
std::size_t ResidentBytes();
std::size_t ResidentBytesOf(pid_t pid);

// Seconds on the monotonic clock, for intervals.
double Now();

// One figure for bench/run: "result: NAME=VALUE" on standard output, flushed at once.
void PrintResult(std::string_view name, double value);
void PrintResult(std::string_view name, std::string_view value);

}  // namespace qk::bench
