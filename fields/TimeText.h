// Local times as the tool writes them into its files and lines: ISO 8601
// with the offset from UTC in force at that time.
#pragma once

#include <cstdint>
#include <string>

namespace fields {

struct LocalSecond {
  std::string dateTime;  // "2024-05-01T12:00:00"
  std::string offset;    // "+08:00"
};

// The local date and time of a second since the epoch.
LocalSecond LocalSecondOf(int64_t second);

// "2024-05-01T12:00:00.123456+08:00" with `decimals` (0, 3 or 6) digits of
// the second; microseconds before the epoch are taken down to their second.
std::string IsoTime(int64_t wallMicros, int decimals);

}  // namespace fields
