// Small helpers that the benchmarks share: process CPU time, resident
// memory and order statistics of measured values.
#pragma once

#include <time.h>
#include <unistd.h>

#include <cstdio>

#include <algorithm>
#include <vector>

namespace bench {

// CPU time of the whole process (every thread), in seconds.
inline double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

// What the process holds in memory now, in bytes; -1 when it cannot tell.
inline long ResidentBytes() {
  long pages = 0, resident = -1;
  if (std::FILE* statm = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(statm, "%ld %ld", &pages, &resident) != 2) resident = -1;
    std::fclose(statm);
  }
  return resident < 0 ? -1 : resident * sysconf(_SC_PAGESIZE);
}

// The value at quantile `q` (0..1) of values already sorted; 0 for none.
inline double At(const std::vector<double>& sorted, double q) {
  if (sorted.empty()) return 0.0;
  return sorted[std::min(sorted.size() - 1, static_cast<size_t>(q * static_cast<double>(sorted.size())))];
}

inline double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return At(values, 0.5);
}

}  // namespace bench
