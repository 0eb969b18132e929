#include "link/LineTiming.h"

#include <algorithm>
#include <cstdint>

namespace {

using std::chrono::microseconds;
using std::chrono::nanoseconds;

constexpr int64_t kNanosPerSecond = 1'000'000'000;
// 3.5 characters, counted in half characters to stay in integers.
constexpr int64_t kQuietHalfCharacters = 7;
constexpr microseconds kQuietFloor{1750};

// Whole bits at `baudRate`, rounded up to the nanosecond.
nanoseconds BitsTime(int64_t bits, int baudRate) {
  const int64_t rate = std::max(baudRate, 1);
  return nanoseconds((bits * kNanosPerSecond + rate - 1) / rate);
}

microseconds CeilMicros(nanoseconds time) { return std::chrono::ceil<microseconds>(time); }

}  // namespace

nanoseconds CharacterTime(int baudRate, int characterBits) { return BitsTime(characterBits, baudRate); }

nanoseconds WireTime(size_t bytes, int baudRate, int characterBits) {
  return BitsTime(static_cast<int64_t>(bytes) * characterBits, baudRate);
}

microseconds QuietGap(int baudRate, int characterBits) {
  const nanoseconds gap = BitsTime(kQuietHalfCharacters * characterBits, baudRate) / 2;
  return std::max(kQuietFloor, CeilMicros(gap));
}

microseconds TransactionTimeout(size_t requestBytes, size_t answerBytes, int baudRate, microseconds margin,
                                int characterBits) {
  const nanoseconds wire = WireTime(requestBytes + answerBytes, baudRate, characterBits);
  return CeilMicros(wire) + QuietGap(baudRate, characterBits) + margin;
}
