// The motor learning run as the tool drives it, on a worker thread of its
// own: the start command to the learning block, a poll of the block every
// 250 ms until the driver reports success, failure or a stop, and a last
// write of the block's first four words as the final poll left them. The
// run knows nothing of windows: it reports its end through a callback that
// must not wait on anyone, and a stop asked for from outside ends it quietly.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <stop_token>

#include "base/Runner.h"
#include "driver/DriverLink.h"

struct LearningReport {
  enum class End {
    StartRefused,  // the start command was answered with `result`; nothing else was sent
    PollFailed,    // a poll failed with `result`
    Succeeded,     // words 5..10 of `last` are the phase order
    Failed,        // the driver could not learn the motor
    AbnormalStop,  // the driver ended the run without a result
  };
  End end = End::AbnormalStop;
  ModbusResult result = ResultSuccess;
  // The block as the last successful poll left it.
  LearningBlock last{};
};

class LearningRun {
 public:
  using Finished = std::function<void(const LearningReport&)>;

  static constexpr std::chrono::milliseconds PollPeriod{250};
  // Result registers read after the five head registers: the phase order.
  static constexpr uint16_t ResultRegisters = RegisterMap::LearningResultWords;
  // The driver's "device busy" answer to the start: it is learning already,
  // and the run is followed like one that was accepted.
  static constexpr ModbusResult Busy = 0x06;

  LearningRun() = default;
  // The runner stops a run still going and joins it.
  ~LearningRun() = default;
  LearningRun(const LearningRun&) = delete;
  LearningRun& operator=(const LearningRun&) = delete;

  // The runner's verbs, on the runner's terms.
  //
  // Starts a run on `link` for the driver at `slave`. `finished` is called
  // once, on the worker thread, when the run ends by itself; it must return
  // without waiting for the thread that joins. False, with nothing started,
  // while a worker exists or when no thread can be started.
  bool Start(DriverLink& link, uint8_t slave, Finished finished);
  // Returns at once: a run still polling makes its final write and ends
  // without calling `finished`. From any thread.
  void RequestStop() { runner_.RequestStop(); }
  // From Start until the worker has returned.
  bool Running() const { return runner_.Running(); }
  // A worker exists: running, or ended and not yet joined.
  bool Active() const { return runner_.Active(); }
  // Waits for the worker to return; once it has, `finished` is not running,
  // and after a RequestStop it will not be called. From the owner's thread.
  void Join() { runner_.Join(); }

 private:
  // Runs on the worker thread only.
  static void CHILD_Run(DriverLink& link, uint8_t slave, const Finished& finished, std::stop_token stop);

  base::Runner runner_;
};
