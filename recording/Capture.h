// Capture at the line's speed, on a worker of its own: status reads back to
// back into the recording for a chosen time or until stopped; as a step
// test, a command half a second in, the chosen stop at the end, and the
// run's samples kept apart so that runs can be laid over each other. The
// caller is never held up: a stop is asked for and the worker ends after
// the read in progress, then says so through its callback.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "driver/DriverLink.h"
#include "recording/StatusReads.h"
#include "recording/StatusRecording.h"
#include "base/Runner.h"

namespace recording {

// The command of a step test, as "电机控制" sends it.
struct StepCommand {
  enum class Kind { Frequency, Position };
  Kind kind = Kind::Frequency;
  int16_t frequencyTenths = 0;  // a frequency run: 0.1 Hz
  uint16_t moveFrequency = 1;   // a position move: 0.1 Hz
  int32_t position = 0;
  uint16_t positionType = 0;  // 0 absolute, 1 relative
  uint16_t stopMode = 0;      // the stop command's value at the end
};

// The time from the capture's start to the command.
constexpr std::chrono::milliseconds StepLead{500};
// The samples a step run keeps at most: a minute at 1000 reads a second.
// A faster line (a simulated one without wire timing) has its run thinned
// to fit, so that the run still spans the whole test.
constexpr size_t StepRunSamples = 60 * 1000;

struct CaptureRequest {
  uint8_t slave = 1;
  CapturePlan plan;
  // A plain capture: how long (0: until stopped). A step test: how long
  // after the command.
  std::chrono::milliseconds duration{0};
  std::optional<StepCommand> step;
  // A step run's bound.
  size_t runSamples = StepRunSamples;
};

// What a step test's command asks of the driver, in the language in use:
// "频率运行 50.0Hz".
std::string StepText(const StepCommand& step);

// A step test's samples, their times from the command.
struct StepRun {
  StepCommand command;  // shown by StepText, in the language of the moment
  std::vector<Sample> samples;
  size_t stride = 1;  // one sample kept for this many read (the run was thinned to its bound)
};

struct CaptureReport {
  LoopTotals totals;
  bool commandSent = false;
  ModbusResult commandResult = ResultSuccess;
  ModbusResult stopResult = ResultSuccess;
  std::shared_ptr<const StepRun> run;  // step tests only
};

class Capture {
 public:
  // On the worker, once, when it ends; must not wait for the thread that
  // starts or stops captures.
  using Finished = std::function<void(const CaptureReport& report)>;

  Capture() = default;
  // Asks a capture still going to stop and waits for it.
  ~Capture();
  Capture(const Capture&) = delete;
  Capture& operator=(const Capture&) = delete;

  // False while one is going (or ended and not yet joined), or when no
  // thread can be had.
  bool Start(DriverLink& link, StatusRecording& recording, CaptureRequest request, Finished finished);
  // Returns at once; the worker ends after the read in progress (a step
  // test sends its stop first).
  void RequestStop();
  // Waits for the worker to end (closing the port makes that quick).
  void Join();
  // From Start until the worker has ended.
  bool Running() const { return running_; }
  // Readings so far in the capture going on, and when it began.
  uint64_t Readings() const { return readings_; }
  SteadyClock::time_point Started() const;

 private:
  void CHILD_Run(DriverLink& link, StatusRecording& recording, const CaptureRequest& request,
                 const Finished& finished, std::stop_token stop);

  // Cleared before `finished` is called, so that what it posts finds the
  // capture ended.
  std::atomic<bool> running_{false};
  std::atomic<uint64_t> readings_{0};
  mutable std::mutex mutex_;
  SteadyClock::time_point started_;
  base::Runner runner_;  // last: joined before the state above goes
};

}  // namespace recording
