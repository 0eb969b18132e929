// The options of korvelt-driver-sim.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "sim/DriverOptions.h"
#include "sim/Fault.h"
#include "sim/LineTiming.h"
#include "sim/MotorModel.h"

namespace sim {

struct CommandLine {
  unsigned com = 1;
  std::string portsFolder;  // empty: PortsDirectory(), as the tool finds it
  // Serve 127.0.0.1:port (0: any free port) instead of a COM link.
  std::optional<uint16_t> tcpPort;
  // Serve 127.0.0.1:port as a Modbus TCP gateway in front of the driver.
  std::optional<uint16_t> modbusTcpPort;
  DriverOptions driver;  // --baud and --parity set its line registers
  bool wire = false;
  std::chrono::microseconds turnaround = DriverTurnaround;
  // Hear a master at any baud rate and parity.
  bool anySettings = false;
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
