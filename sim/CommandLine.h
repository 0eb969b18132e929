// The options of korvelt-driver-sim.
#pragma once

#include <string>

#include "sim/DriverOptions.h"
#include "sim/Fault.h"
#include "sim/MotorModel.h"

namespace sim {

struct CommandLine {
  unsigned com = 1;
  std::string portsFolder;  // empty: PortsDirectory(), as the tool finds it
  DriverOptions driver;
  Fault fault;
  MotorFault motorFault = MotorFault::None;
  bool verbose = false;
  bool help = false;
  bool version = false;
};

// Fills `line` from the arguments; false, with the reason in `error`, on an
// option it does not know or a value out of range.
bool ParseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& error);

std::string HelpText();

}  // namespace sim
