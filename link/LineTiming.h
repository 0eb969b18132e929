// How long things take on a serial line: one character, n bytes, the quiet
// gap that ends an RTU frame, the driver's turnaround, and the time-out a
// transaction needs at a given rate. Pure functions of the rate.
#pragma once

#include <chrono>
#include <cstddef>

// The tool's lines carry 11-bit characters: start bit, 8 data bits, and a
// parity bit with one stop bit, or no parity with two stop bits.
constexpr int ToolCharacterBits = 11;

// One character at `baudRate` (a rate below 1 counts as 1 bit/s).
std::chrono::nanoseconds CharacterTime(int baudRate, int characterBits = ToolCharacterBits);

// `bytes` characters back to back.
std::chrono::nanoseconds WireTime(size_t bytes, int baudRate, int characterBits = ToolCharacterBits);

// How long the line must stay silent between two frames: 3.5 character
// times, and never less than 1.75 ms, the floor that fast rates use.
// Rounded up to whole microseconds.
std::chrono::microseconds QuietGap(int baudRate, int characterBits = ToolCharacterBits);

// The driver's time from the end of a request to the start of its answer:
// what the simulated driver waits and what a status read's line limit
// counts.
constexpr std::chrono::microseconds DriverTurnaround{1000};

// What a transaction's time-out must cover beyond the wire: the slave's
// turn-around, a USB adapter's latency timer (16 ms where low latency is
// refused) and the scheduling of both ends.
constexpr std::chrono::milliseconds DefaultTransactionMargin{50};

// The response time-out for a transaction of `requestBytes` out and
// `answerBytes` back at `baudRate`: the request's wire time, the quiet gap
// after which the slave takes the request as complete, the answer's wire
// time, and `margin`. Rounded up to whole microseconds.
std::chrono::microseconds TransactionTimeout(size_t requestBytes, size_t answerBytes, int baudRate,
                                             std::chrono::microseconds margin = DefaultTransactionMargin,
                                             int characterBits = ToolCharacterBits);
