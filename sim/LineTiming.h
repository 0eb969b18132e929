// Time on an RS-485 line: how long characters take at a baud rate, and when
// each byte of an answer leaves, so that a pseudo-terminal or a socket,
// which carry bytes at once, can be made to carry them as the wire would.
#pragma once

#include <chrono>
#include <cstddef>
#include <vector>

#include "link/LineTiming.h"
#include "sim/DriverOptions.h"
#include "sim/Fault.h"

namespace sim {

// Start bit, 8 data bits, the parity bit or a second stop bit, stop bit.
constexpr unsigned BitsPerCharacter = 11;

// What `bytes` characters take on the wire at `baud` bit/s, to the
// nanosecond (computed whole, not as a sum of rounded character times).
constexpr std::chrono::nanoseconds WireTime(size_t bytes, unsigned baud) {
  return std::chrono::nanoseconds(static_cast<long long>(
      static_cast<unsigned long long>(bytes) * BitsPerCharacter * 1'000'000'000ull / baud));
}
constexpr std::chrono::nanoseconds CharacterTime(unsigned baud) { return WireTime(1, baud); }

// Bytes of an answer up to `end` are handed over at `at`.
struct AnswerPiece {
  size_t end;
  Clock::time_point at;
};

// When the bytes of `reply` leave, its first piece no sooner than `start`.
// `baud` 0: as fast as the descriptor takes them, the reply's delay, piece
// gaps and split pause apart. Otherwise every byte is its own piece and is
// complete one character time after the one before, with the reply's
// delay, gaps and pause added on top.
std::vector<AnswerPiece> ScheduleAnswer(const Reply& reply, Clock::time_point start, unsigned baud);

}  // namespace sim
