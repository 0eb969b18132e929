// One moment on two clocks: the monotonic one for intervals, the wall clock
// for display.
#pragma once

#include <chrono>
#include <cstdint>

struct Stamp {
  std::chrono::steady_clock::time_point monotonic{};
  int64_t wallMicros = 0;  // microseconds since 1970-01-01 UTC

  static Stamp Now();
};

// The wall clock now, in microseconds since 1970-01-01 UTC.
int64_t WallMicrosNow();
