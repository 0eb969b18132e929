// Status reads over time, paced or back to back: the loop that the window's
// capture and `korvelt record` both run. It reads only the registers its
// plan names, hands every reading (failed ones too) to its caller, and ends
// at its limit, on a stop, or when the port goes away.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <stop_token>

#include "driver/DriverLink.h"
#include "link/LineTiming.h"
#include "recording/StatusRecording.h"

namespace recording {

// Which registers of the status block are read.
struct CapturePlan {
  uint16_t first = 0;
  uint16_t count = static_cast<uint16_t>(StatusRegisterCount);
  uint32_t Read() const { return ((1u << count) - 1) << first; }
};

// The registers the measured fields of fields::StatusFields() need, when
// they lie close together (within half the block); else, or for none, the
// whole block, which costs little more and fills every column.
CapturePlan PlanFor(std::span<const size_t> fields);

// Reads a second the line carries at most at `baud` (11-bit characters):
// one request, its answer and the driver's turnaround, back to back.
double LineLimit(int baud, int registers, std::chrono::microseconds turnaround = DriverTurnaround);

struct ReadPace {
  // Between the starts of two reads; 0: each read follows the one before.
  std::chrono::microseconds interval{0};
  // No read starts after this.
  std::optional<SteadyClock::time_point> until;
  // At most this many readings, failed ones included; 0: no limit.
  uint64_t count = 0;
};

struct Reading {
  SteadyClock::time_point at;  // when the request went out
  ModbusResult result;
  StatusBlock status;  // the plan's registers, when result is success
  uint32_t read;       // the plan's registers; 0 for a failed read
  uint8_t slave = 0;   // the driver read
};

enum class LoopEnd { Done, Stopped, PortGone };

struct LoopTotals {
  uint64_t readings = 0;
  uint64_t failed = 0;
  ModbusResult lastFailure = ResultSuccess;
  LoopEnd end = LoopEnd::Done;
  SteadyClock::time_point started;
  SteadyClock::time_point ended;
  uint64_t Answered() const { return readings - failed; }
  double Seconds() const { return std::chrono::duration<double>(ended - started).count(); }
};

// Called before each read with its time: false ends the loop (Done).
using BeforeRead = std::function<bool(SteadyClock::time_point now)>;
using TakeReading = std::function<void(const Reading& reading)>;

// A stop asked for on `stop` ends the loop before its next read, and at
// once while it waits for the next slot.
LoopTotals ReadStatusLoop(DriverLink& link, uint8_t slave, const CapturePlan& plan, const ReadPace& pace,
                          std::stop_token stop, const TakeReading& take, const BeforeRead& before = {});
// Several drivers on one line, read in turn: a round reads each once, back
// to back, and `pace.interval` is between the starts of two rounds; every
// reading counts towards `pace.count`.
LoopTotals ReadStatusLoop(DriverLink& link, std::span<const uint8_t> slaves, const CapturePlan& plan,
                          const ReadPace& pace, std::stop_token stop, const TakeReading& take,
                          const BeforeRead& before = {});

// Puts a reading into the recording: a sample or a gap.
void Record(StatusRecording& recording, const Reading& reading);

}  // namespace recording
