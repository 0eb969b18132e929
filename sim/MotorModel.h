// The motor behind the status block: an open-loop PWM drive with rise and
// fall buffers, a closed-loop frequency drive with acceleration and
// deceleration, position moves with a trapezoidal profile, the three stop
// modes, a phase current that follows duty, load and acceleration, and the
// stall and Hall faults that stop it.
#pragma once

#include <cstdint>

namespace sim {

// Taken from the ramp and parameter registers before every step, so a
// parameter write acts on a running motor.
struct MotorSettings {
  double pwmRiseSeconds = 0;  // time for the duty to rise over the full range; 0 at once
  double pwmFallSeconds = 0;
  double accelerationHz = 500;  // Hz/s; 0 at once
  double decelerationHz = 500;
  double maxFrequencyHz = 0;  // the motor parameter's limit; 0 none
  double ratedCurrent = 500;  // 0.01 A
  double maxLoadCurrent = 1000;  // 0.01 A
  double stallStopSeconds = 2.0;
};

enum class StopMode : uint16_t { Normal = 0, Emergency = 1, Free = 2 };
enum class MotorFault { None, Stall, HallError };

// Error codes of the status block that the motor itself causes.
constexpr uint16_t MotorErrorNone = 0;
constexpr uint16_t MotorErrorStall = 2;
constexpr uint16_t MotorErrorHall = 3;
constexpr uint16_t MotorErrorUnreachable = 4;

struct MotorState {
  double dutyPermille = 0;  // output PWM, 0.1 % units, signed
  double current = 0;       // 0.01 A
  double frequencyHz = 0;   // commutation frequency, signed
  double position = 0;      // pulses
  bool moveComplete = false;
  uint32_t completionMs = 0;
  uint16_t error = MotorErrorNone;
  bool hallValid = true;
};

class MotorModel {
 public:
  // Commutation frequency at full duty with no load.
  static constexpr double FullDutyHz = 5000.0;

  explicit MotorModel(double load);

  void RunPwm(double dutyPermille);
  void RunFrequency(double hz);
  void MoveTo(double target, double hz);
  // The move frequency changed while (or before) a move runs.
  void ChangeMoveSpeed(double hz);
  void Stop(StopMode mode);
  // A procedure of the driver moves the motor itself: it turns at `hz` with
  // `dutyPermille` from `position` on until the next Place or Halt.
  void Place(double position, double hz, double dutyPermille);
  // Stands still at once where it is.
  void Halt();

  void Advance(double seconds, const MotorSettings& settings);

  void SetLoad(double load);
  void SetFault(MotorFault fault);

  bool Running() const { return mode_ != Mode::Idle; }
  bool Moving() const { return mode_ == Mode::Position; }
  MotorState State() const;

 private:
  enum class Mode { Idle, Pwm, Frequency, Position, FreeStop, Driven };

  void Command(Mode mode);
  void Step(double dt, const MotorSettings& settings);
  void StepPwm(double dt, const MotorSettings& settings);
  void StepFrequency(double dt, const MotorSettings& settings);
  void StepPosition(double dt, const MotorSettings& settings);
  void StepFreeStop(double dt);
  bool StepStall(double dt, const MotorSettings& settings);
  void UpdateCurrent(double previousHz, double dt, const MotorSettings& settings);
  bool Steady(const MotorSettings& settings) const;
  double ReachableHz() const;
  double LimitHz(const MotorSettings& settings) const;
  void ComeToRest(uint16_t error);

  Mode mode_ = Mode::Idle;
  bool stopping_ = false;
  double load_;
  MotorFault fault_ = MotorFault::None;
  double duty_ = 0;
  double targetDuty_ = 0;
  double hz_ = 0;
  double targetHz_ = 0;
  double position_ = 0;
  double moveTarget_ = 0;
  double moveHz_ = 0;
  double moveSeconds_ = 0;
  bool moveComplete_ = false;
  uint32_t completionMs_ = 0;
  bool unreachable_ = false;
  double stallSeconds_ = 0;
  double current_ = 0;
  uint16_t latchedError_ = MotorErrorNone;
};

}  // namespace sim
