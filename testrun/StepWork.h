// What the steps of a unit share while it runs: the link, the driver, the
// stop asked for from outside and the identity read when the unit started.
// The run step lives in RunStep.cpp, the others in Runner.cpp.
#pragma once

#include <stop_token>
#include <string>

#include "testrun/Runner.h"

namespace testrun {

struct StepWork {
  DriverLink& link;
  uint8_t slave;
  std::stop_token stop;
  const DeviceIdentity& identity;
  // The run step's readings as they come; may be empty.
  std::function<void(const recording::Sample&)> sampled;
};

// The step ends with `outcome`, and why.
void End(StepResult& result, Outcome outcome, std::string detail, ModbusResult code = ResultSuccess);
// A transaction that failed: "<what>: 通讯超时" as an ERROR.
void EndOnLine(StepResult& result, const char* what, ModbusResult code);

// The run command, the settling and the measuring window, then the stop.
// `stopped`: the stop went out and was answered.
void RunMotor(StepWork& work, const testplan::Run& run, StepResult& result, bool& stopped);

}  // namespace testrun
