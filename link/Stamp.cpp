#include "link/Stamp.h"

int64_t WallMicrosNow() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

Stamp Stamp::Now() { return {std::chrono::steady_clock::now(), WallMicrosNow()}; }
