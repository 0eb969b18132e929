// The driver's timed procedures: learning the motor's phase order, and the
// reciprocation operations (reset to a limit switch, stroke measurement).
#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>

#include "sim/DriverOptions.h"
#include "sim/MotorModel.h"

namespace sim {

// Learning states as the learning block reports them.
constexpr uint16_t LearningIdle = 0;
constexpr uint16_t LearningAligning = 1;
constexpr uint16_t LearningMeasuring = 2;
constexpr uint16_t LearningSucceeded = 3;
constexpr uint16_t LearningFailed = 4;

class LearningRun {
 public:
  LearningRun(std::chrono::milliseconds duration, LearningOutcome outcome);

  bool Running() const { return running_; }
  void Start(Clock::time_point now);
  // The run stops without a result.
  void Abort();
  // Moves the run on to `now`; gives the outcome when the run ends here.
  std::optional<LearningOutcome> Advance(Clock::time_point now);

  uint16_t RunFlag() const { return running_ ? 1 : 0; }
  uint16_t State() const { return state_; }

 private:
  std::chrono::milliseconds duration_;
  LearningOutcome outcome_;
  bool running_ = false;
  uint16_t state_ = LearningIdle;
  Clock::time_point start_{};
};

// Reciprocation command values.
constexpr uint16_t ReciprocateIdle = 0;
constexpr uint16_t ReciprocateCancel = 1;
constexpr uint16_t ReciprocateResetSq1 = 2;
constexpr uint16_t ReciprocateResetSq2 = 3;
constexpr uint16_t ReciprocateMeasure = 4;

class ReciprocationRun {
 public:
  ReciprocationRun(std::chrono::milliseconds strokeDuration, int32_t sq1Position, int32_t sq2Position);

  // The operation in progress as the command register shows it; 0 idle.
  uint16_t Code() const { return code_; }
  bool Active() const { return code_ != ReciprocateIdle; }

  // Drives to SQ1 or SQ2 at `hz` as a position move.
  void StartReset(uint16_t code, MotorModel& motor, double hz);
  // Runs to SQ1, then over the whole travel to SQ2, in the stroke time.
  void StartMeasurement(MotorModel& motor, Clock::time_point now);
  // Forgets the operation; the caller stops the motor.
  void Cancel() { code_ = ReciprocateIdle; }
  // Moves the operation on to `now`; gives the stroke when a measurement
  // ends here.
  std::optional<uint32_t> Advance(MotorModel& motor, Clock::time_point now);

 private:
  std::chrono::milliseconds strokeDuration_;
  int32_t sq1_;
  int32_t sq2_;
  uint16_t code_ = ReciprocateIdle;
  Clock::time_point start_{};
  double from_ = 0;
};

}  // namespace sim
