#include "sim/Procedures.h"

#include <cmath>

namespace sim {

namespace {

// The stroke measurement runs the motor at a quarter of full duty.
constexpr double kMeasureDutyPermille = 250;

}  // namespace

LearningRun::LearningRun(std::chrono::milliseconds duration, LearningOutcome outcome)
    : duration_(duration), outcome_(outcome) {}

void LearningRun::Start(Clock::time_point now) {
  running_ = true;
  state_ = LearningAligning;
  start_ = now;
}

void LearningRun::Abort() {
  running_ = false;
  state_ = LearningIdle;
}

std::optional<LearningOutcome> LearningRun::Advance(Clock::time_point now) {
  if (!running_) return std::nullopt;
  const auto elapsed = now - start_;
  if (elapsed < duration_) {
    // First the rotor is aligned, then the phases are stepped through.
    state_ = elapsed < duration_ / 2 ? LearningAligning : LearningMeasuring;
    return std::nullopt;
  }
  running_ = false;
  switch (outcome_) {
    case LearningOutcome::Success:
      state_ = LearningSucceeded;
      break;
    case LearningOutcome::Failure:
      state_ = LearningFailed;
      break;
    case LearningOutcome::AbnormalStop:
      state_ = LearningIdle;
      break;
  }
  return outcome_;
}

ReciprocationRun::ReciprocationRun(std::chrono::milliseconds strokeDuration, int32_t sq1Position,
                                   int32_t sq2Position)
    : strokeDuration_(strokeDuration), sq1_(sq1Position), sq2_(sq2Position) {}

void ReciprocationRun::StartReset(uint16_t code, MotorModel& motor, double hz) {
  code_ = code;
  motor.MoveTo(code == ReciprocateResetSq1 ? sq1_ : sq2_, hz);
}

void ReciprocationRun::StartMeasurement(MotorModel& motor, Clock::time_point now) {
  code_ = ReciprocateMeasure;
  start_ = now;
  from_ = motor.State().position;
  motor.Place(from_, 0, kMeasureDutyPermille);
}

std::optional<uint32_t> ReciprocationRun::Advance(MotorModel& motor, Clock::time_point now) {
  if (code_ == ReciprocateResetSq1 || code_ == ReciprocateResetSq2) {
    // Ends on arrival, or when something else stopped the move.
    if (!motor.Moving()) code_ = ReciprocateIdle;
    return std::nullopt;
  }
  if (code_ != ReciprocateMeasure) return std::nullopt;

  const double toSq1 = std::abs(from_ - sq1_);
  const double travel = std::abs(static_cast<double>(sq2_) - sq1_);
  const double seconds = std::chrono::duration<double>(strokeDuration_).count();
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  if (elapsed >= seconds) {
    code_ = ReciprocateIdle;
    motor.Place(sq2_, 0, 0);
    motor.Halt();
    return static_cast<uint32_t>(travel);
  }
  const double speed = seconds > 0 ? (toSq1 + travel) / seconds : 0;
  const double covered = speed * elapsed;
  if (covered < toSq1) {
    const double direction = sq1_ < from_ ? -1.0 : 1.0;
    motor.Place(from_ + direction * covered, direction * speed, direction * kMeasureDutyPermille);
  } else {
    const double direction = sq2_ < sq1_ ? -1.0 : 1.0;
    motor.Place(sq1_ + direction * (covered - toSq1), direction * speed, direction * kMeasureDutyPermille);
  }
  return std::nullopt;
}

}  // namespace sim
