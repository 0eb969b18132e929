#include "sim/MotorModel.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace sim {

namespace {

// Integration step: fine enough that a ramp or a landing is exact to a
// pulse, coarse enough that minutes of motion cost little.
constexpr double kStepSeconds = 0.001;
// Open-loop speed follows the duty with this mechanical time constant.
constexpr double kSpeedLagSeconds = 0.15;
// A freely stopping motor loses speed with this time constant.
constexpr double kCoastSeconds = 0.6;
// Below this the motor counts as stopped.
constexpr double kRestHz = 0.5;
// Closer than this the move has arrived (the last step lands exactly, so
// this only absorbs rounding).
constexpr double kArrivedPulses = 1e-6;
constexpr double kInfinite = std::numeric_limits<double>::infinity();

double Approach(double value, double goal, double step) {
  if (value < goal) return std::min(goal, value + step);
  return std::max(goal, value - step);
}

double Sign(double value) { return value < 0 ? -1.0 : 1.0; }

double RateOrInfinite(double rate) { return rate > 0 ? rate : kInfinite; }

}  // namespace

MotorModel::MotorModel(double load) : load_(std::clamp(load, 0.0, 1.0)) {}

void MotorModel::Command(Mode mode) {
  mode_ = mode;
  stopping_ = false;
  latchedError_ = MotorErrorNone;
  stallSeconds_ = 0;
  moveComplete_ = false;
  unreachable_ = false;
  // Without valid Hall signals the driver cannot commutate at all.
  if (fault_ == MotorFault::HallError) ComeToRest(MotorErrorHall);
}

void MotorModel::RunPwm(double dutyPermille) {
  Command(Mode::Pwm);
  targetDuty_ = dutyPermille;
}

void MotorModel::RunFrequency(double hz) {
  Command(Mode::Frequency);
  targetHz_ = hz;
}

void MotorModel::MoveTo(double target, double hz) {
  Command(Mode::Position);
  moveTarget_ = target;
  moveHz_ = hz;
  moveSeconds_ = 0;
}

void MotorModel::ChangeMoveSpeed(double hz) { moveHz_ = hz; }

void MotorModel::Stop(StopMode mode) {
  latchedError_ = MotorErrorNone;
  if (mode == StopMode::Emergency || mode_ == Mode::Driven) {
    ComeToRest(MotorErrorNone);
    return;
  }
  if (mode == StopMode::Free) {
    if (Running()) mode_ = Mode::FreeStop;
    return;
  }
  if (mode_ == Mode::Pwm) {
    targetDuty_ = 0;
    stopping_ = true;
  } else if (mode_ == Mode::Frequency || mode_ == Mode::Position) {
    mode_ = Mode::Frequency;
    targetHz_ = 0;
    stopping_ = true;
  }
}

void MotorModel::Place(double position, double hz, double dutyPermille) {
  mode_ = Mode::Driven;
  stopping_ = false;
  position_ = position;
  hz_ = hz;
  duty_ = dutyPermille;
}

void MotorModel::Halt() { ComeToRest(MotorErrorNone); }

void MotorModel::ComeToRest(uint16_t error) {
  mode_ = Mode::Idle;
  stopping_ = false;
  duty_ = targetDuty_ = 0;
  hz_ = targetHz_ = 0;
  current_ = 0;
  stallSeconds_ = 0;
  unreachable_ = false;
  latchedError_ = error;
}

void MotorModel::SetLoad(double load) { load_ = std::clamp(load, 0.0, 1.0); }

void MotorModel::SetFault(MotorFault fault) {
  fault_ = fault;
  if (fault == MotorFault::HallError && (mode_ == Mode::Pwm || mode_ == Mode::Frequency || mode_ == Mode::Position)) {
    ComeToRest(MotorErrorHall);
  }
}

double MotorModel::ReachableHz() const { return FullDutyHz * (1.0 - 0.3 * load_); }

double MotorModel::LimitHz(const MotorSettings& settings) const {
  const double reachable = ReachableHz();
  return settings.maxFrequencyHz > 0 ? std::min(reachable, settings.maxFrequencyHz) : reachable;
}

bool MotorModel::Steady(const MotorSettings& settings) const {
  if (mode_ == Mode::Driven) return true;
  if (fault_ == MotorFault::Stall || stopping_) return false;
  if (mode_ == Mode::Pwm) return duty_ == targetDuty_ && hz_ == duty_ / 1000.0 * ReachableHz();
  if (mode_ == Mode::Frequency) {
    const double limit = LimitHz(settings);
    return hz_ == std::clamp(targetHz_, -limit, limit);
  }
  return false;
}

void MotorModel::Advance(double seconds, const MotorSettings& settings) {
  if (seconds <= 0) return;
  double left = seconds;
  while (left > 0 && mode_ != Mode::Idle) {
    if (Steady(settings)) {
      // Constant speed: the position simply moves on.
      position_ += hz_ * left;
      UpdateCurrent(hz_, 1.0, settings);
      return;
    }
    const double dt = std::min(left, kStepSeconds);
    Step(dt, settings);
    left -= dt;
  }
}

void MotorModel::Step(double dt, const MotorSettings& settings) {
  const double previousHz = hz_;
  if (StepStall(dt, settings)) return;
  switch (mode_) {
    case Mode::Pwm:
      StepPwm(dt, settings);
      break;
    case Mode::Frequency:
      StepFrequency(dt, settings);
      break;
    case Mode::Position:
      StepPosition(dt, settings);
      break;
    case Mode::FreeStop:
      StepFreeStop(dt);
      break;
    case Mode::Driven:
      position_ += hz_ * dt;
      break;
    case Mode::Idle:
      break;
  }
  UpdateCurrent(previousHz, dt, settings);
}

bool MotorModel::StepStall(double dt, const MotorSettings& settings) {
  const bool driving = mode_ == Mode::Pwm || mode_ == Mode::Frequency || mode_ == Mode::Position;
  if (fault_ != MotorFault::Stall || !driving) {
    stallSeconds_ = 0;
    return false;
  }
  if (stopping_) {
    ComeToRest(MotorErrorNone);
    return true;
  }
  // The rotor is blocked: the drive pushes harder, the current climbs to
  // the load limit, and after the stall time the driver gives up.
  hz_ = 0;
  if (mode_ == Mode::Pwm) {
    duty_ = targetDuty_;
  } else {
    const double direction = mode_ == Mode::Position ? Sign(moveTarget_ - position_) : Sign(targetHz_);
    duty_ = 1000.0 * direction;
  }
  current_ = settings.maxLoadCurrent > 0 ? settings.maxLoadCurrent : 2.0 * settings.ratedCurrent;
  stallSeconds_ += dt;
  if (stallSeconds_ >= settings.stallStopSeconds) ComeToRest(MotorErrorStall);
  return true;
}

void MotorModel::StepPwm(double dt, const MotorSettings& settings) {
  // A change of direction first runs the duty down to zero.
  const double goal = duty_ * targetDuty_ < 0 ? 0.0 : targetDuty_;
  const bool rising = std::abs(goal) > std::abs(duty_);
  const double seconds = rising ? settings.pwmRiseSeconds : settings.pwmFallSeconds;
  duty_ = seconds > 0 ? Approach(duty_, goal, 1000.0 / seconds * dt) : goal;

  const double equilibrium = duty_ / 1000.0 * ReachableHz();
  hz_ += (equilibrium - hz_) * (1.0 - std::exp(-dt / kSpeedLagSeconds));
  if (std::abs(equilibrium - hz_) < 1e-3) hz_ = equilibrium;
  position_ += hz_ * dt;
  if (stopping_ && duty_ == 0 && std::abs(hz_) < kRestHz) ComeToRest(MotorErrorNone);
}

void MotorModel::StepFrequency(double dt, const MotorSettings& settings) {
  const double limit = LimitHz(settings);
  const double clamped = std::clamp(targetHz_, -limit, limit);
  unreachable_ = !stopping_ && clamped != targetHz_;
  const double goal = hz_ * clamped < 0 ? 0.0 : clamped;
  const bool accelerating = std::abs(goal) > std::abs(hz_);
  const double rate = accelerating ? settings.accelerationHz : settings.decelerationHz;
  hz_ = rate > 0 ? Approach(hz_, goal, rate * dt) : goal;
  duty_ = std::clamp(hz_ / ReachableHz() * 1000.0, -1000.0, 1000.0);
  position_ += hz_ * dt;
  if (stopping_ && hz_ == 0) ComeToRest(MotorErrorNone);
}

void MotorModel::StepPosition(double dt, const MotorSettings& settings) {
  moveSeconds_ += dt;
  const double remaining = moveTarget_ - position_;
  const double direction = Sign(remaining);
  if (std::abs(remaining) >= kArrivedPulses) {
    const double limit = LimitHz(settings);
    const double cruise = std::min(moveHz_, limit);
    unreachable_ = moveHz_ > limit;
    const double accel = RateOrInfinite(settings.accelerationHz);
    const double decel = RateOrInfinite(settings.decelerationHz);
    // Speed along the way to the target; negative while still braking a
    // motion the other way.
    double speed = hz_ * direction;
    if (speed < 0) {
      speed = std::min(0.0, speed + decel * dt);
    } else {
      // The fastest speed from which the motor still stops on the target.
      const double landing = std::isinf(decel) ? kInfinite : std::sqrt(2.0 * decel * std::abs(remaining));
      if (speed > landing) {
        speed = landing;
      } else if (speed > cruise) {
        speed = std::max(cruise, speed - decel * dt);
      } else {
        speed = std::min({cruise, landing, speed + accel * dt});
      }
      // Never beyond the target within one step.
      speed = std::min(speed, std::abs(remaining) / dt);
    }
    hz_ = speed * direction;
    duty_ = std::clamp(hz_ / ReachableHz() * 1000.0, -1000.0, 1000.0);
    position_ += hz_ * dt;
    if ((moveTarget_ - position_) * direction >= kArrivedPulses) return;
  }
  position_ = moveTarget_;
  moveComplete_ = true;
  completionMs_ = static_cast<uint32_t>(std::lround(moveSeconds_ * 1000.0));
  ComeToRest(MotorErrorNone);
}

void MotorModel::StepFreeStop(double dt) {
  duty_ = 0;
  hz_ *= std::exp(-dt / kCoastSeconds);
  position_ += hz_ * dt;
  if (std::abs(hz_) < kRestHz) ComeToRest(MotorErrorNone);
}

void MotorModel::UpdateCurrent(double previousHz, double dt, const MotorSettings& settings) {
  if (mode_ == Mode::Idle) {
    current_ = 0;
    return;
  }
  const double accelerationHz = std::abs(hz_ - previousHz) / dt;
  const double running = settings.ratedCurrent * (0.25 + 0.75 * load_) * std::abs(duty_) / 1000.0;
  const double accelerating = settings.ratedCurrent * 0.3 * std::min(accelerationHz / 1000.0, 2.0);
  const double limit = settings.maxLoadCurrent > 0 ? settings.maxLoadCurrent : kInfinite;
  current_ = std::min(running + accelerating, limit);
}

MotorState MotorModel::State() const {
  MotorState state;
  state.dutyPermille = duty_;
  state.current = current_;
  state.frequencyHz = hz_;
  state.position = position_;
  state.moveComplete = moveComplete_;
  state.completionMs = completionMs_;
  state.hallValid = fault_ != MotorFault::HallError;
  if (latchedError_ != MotorErrorNone) {
    state.error = latchedError_;
  } else if (unreachable_ && (mode_ == Mode::Frequency || mode_ == Mode::Position)) {
    state.error = MotorErrorUnreachable;
  }
  return state;
}

}  // namespace sim
