// What the driver does with a request once it has been addressed to it: the
// register rules, the commands behind the command registers, the motor
// model and the procedures, and the live values they put in the status and
// learning blocks. Not thread-safe: SimulatedDriver serialises it.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/DriverOptions.h"
#include "sim/MotorModel.h"
#include "sim/Procedures.h"
#include "sim/RegisterImage.h"

namespace sim {

class Device {
 public:
  Device(const DriverOptions& options, Clock::time_point now);

  // Brings the motor and the procedures up to `now` and refreshes the live
  // registers.
  void AdvanceTo(Clock::time_point now);

  // Answer PDU to a request PDU (function code first): the normal answer,
  // an exception, or none for a request the driver keeps silent on.
  std::vector<uint8_t> Handle(const uint8_t* pdu, size_t length);

  uint16_t Get(uint16_t address) const { return image_.Get(address); }
  // Stored as is. Live registers (status, learning, the reciprocation
  // command) are rewritten at the next refresh.
  void Set(uint16_t address, uint16_t value) { image_.Set(address, value); }

  void SetLoad(double load) { motor_.SetLoad(load); }
  void SetMotorFault(MotorFault fault) { motor_.SetFault(fault); }

 private:
  enum class CommandKind { Stop, Pwm, Frequency, MoveSpeed, Move, Reciprocate, Learning };
  struct Command {
    CommandKind kind;
    uint16_t value;  // the command word; for Learning the run flag word
    uint16_t extra = 0;  // Move: the position type; Learning: the state word
    uint16_t moveFrequency = 0;
    int32_t target = 0;
  };

  std::vector<uint8_t> ReadHolding(const uint8_t* pdu, size_t length);
  std::vector<uint8_t> WriteSingle(const uint8_t* pdu, size_t length);
  std::vector<uint8_t> WriteMultiple(const uint8_t* pdu, size_t length);

  // 0 when the write was done, else the exception code.
  uint8_t Write(uint16_t start, const std::vector<uint16_t>& values);
  std::vector<Command> Commands(uint16_t start, const std::vector<uint16_t>& values) const;
  uint8_t Check(const Command& command) const;
  uint8_t CheckMotion() const;
  void Run(const Command& command);

  bool Learned() const;
  bool ParametersLocked() const;
  MotorSettings Settings() const;
  void Refresh();
  void RefreshStatus();
  void RefreshLearning();
  void ApplyLearningOutcome(LearningOutcome outcome);

  DriverOptions options_;
  RegisterImage image_;
  MotorModel motor_;
  LearningRun learning_;
  ReciprocationRun reciprocation_;
  std::array<uint16_t, 6> phaseOrder_{};
  Clock::time_point start_;
  Clock::time_point now_;
};

}  // namespace sim
