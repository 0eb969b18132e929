#include "recording/StatusReads.h"

#include <algorithm>

#include "base/StopWake.h"
#include "fields/StatusTexts.h"
#include "link/FrameShapes.h"
#include "link/LineTiming.h"

namespace recording {

CapturePlan PlanFor(std::span<const size_t> fields) {
  size_t first = StatusRegisterCount;
  size_t last = 0;
  for (const size_t field : fields) {
    const fields::StatusPlace place = fields::StatusPlaceOf(field);
    if (place.count == 0) continue;
    first = std::min(first, place.first);
    last = std::max(last, place.first + place.count - 1);
    if (place.rangeFlag) {
      first = std::min(first, fields::StatusRangeFlagRegister);
      last = std::max(last, fields::StatusRangeFlagRegister);
    }
  }
  if (first > last || (last - first + 1) * 2 > StatusRegisterCount) return {};
  return {static_cast<uint16_t>(first), static_cast<uint16_t>(last - first + 1)};
}

double LineLimit(int baud, int registers, std::chrono::microseconds turnaround) {
  if (baud <= 0) return 0;
  const auto wire = WireTime(ReadRequestBytes + ReadAnswerBytes(static_cast<size_t>(registers)), baud);
  return 1.0 / std::chrono::duration<double>(wire + turnaround).count();
}

LoopTotals ReadStatusLoop(DriverLink& link, uint8_t slave, const CapturePlan& plan, const ReadPace& pace,
                          std::stop_token stop, const TakeReading& take, const BeforeRead& before) {
  const uint8_t slaves[] = {slave};
  return ReadStatusLoop(link, slaves, plan, pace, std::move(stop), take, before);
}

LoopTotals ReadStatusLoop(DriverLink& link, std::span<const uint8_t> slaves, const CapturePlan& plan,
                          const ReadPace& pace, std::stop_token stop, const TakeReading& take,
                          const BeforeRead& before) {
  // Only a paced loop waits, and only it needs the descriptor to wait on.
  std::optional<base::StopWake> wake;
  if (pace.interval.count() > 0) wake.emplace(stop);
  LoopTotals totals;
  totals.started = SteadyClock::now();
  SteadyClock::time_point next = totals.started;
  size_t turn = 0;
  for (;;) {
    if (stop.stop_requested()) {
      totals.end = LoopEnd::Stopped;
      break;
    }
    // A pulled adapter fails every read at once: nothing more to record.
    if (!link.IsOpen() || link.PortLost()) {
      totals.end = LoopEnd::PortGone;
      break;
    }
    const SteadyClock::time_point now = SteadyClock::now();
    if ((pace.count != 0 && totals.readings >= pace.count) || (pace.until && now > *pace.until) ||
        (before && !before(now))) {
      totals.end = LoopEnd::Done;
      break;
    }
    const uint8_t slave = slaves[turn];
    turn = (turn + 1) % slaves.size();
    Reading reading{now, ResultSuccess, StatusBlock{}, 0, slave};
    reading.result = plan.count == StatusRegisterCount
                         ? link.ReadStatus(slave, reading.status)
                         : link.ReadStatusRegisters(slave, plan.first, plan.count, reading.status);
    if (reading.result == ResultSuccess) {
      reading.read = plan.Read();
    } else {
      reading.status = StatusBlock{};
      ++totals.failed;
      totals.lastFailure = reading.result;
    }
    ++totals.readings;
    take(reading);
    if (pace.count != 0 && totals.readings >= pace.count) {
      totals.end = LoopEnd::Done;
      break;
    }
    if (pace.interval.count() > 0 && turn == 0) {
      // A read that overran its slot starts the next at once, without a
      // burst to catch up.
      next = std::max(next + pace.interval, SteadyClock::now());
      if (wake->WaitUntil(next)) {
        totals.end = LoopEnd::Stopped;
        break;
      }
    }
  }
  totals.ended = SteadyClock::now();
  return totals;
}

void Record(StatusRecording& recording, const Reading& reading) {
  if (reading.read == 0) {
    recording.AddGap(reading.at);
  } else {
    recording.Add(reading.at, reading.status, reading.read);
  }
}

}  // namespace recording
