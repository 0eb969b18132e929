// The options of korvelt-driver-sim.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

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
  // The drivers on the line, one per address, in rising order.
  std::vector<uint8_t> addresses{1};
  bool wire = false;
  std::chrono::microseconds turnaround = DriverTurnaround;
  // Hear a master at any baud rate and parity.
  bool anySettings = false;
  Fault fault;
  // Given for some addresses only (@LIST:VALUE), over the ones for all.
  std::map<uint8_t, Fault> aimedFaults;
  std::map<uint8_t, std::chrono::microseconds> aimedTurnarounds;
  MotorFault motorFault = MotorFault::None;
  bool verbose = false;
  bool help = false;
  bool version = false;
};

// What the driver at `address` (one of `addresses`) is started with.
DriverOptions DriverOptionsFor(const CommandLine& line, uint8_t address);
Fault FaultFor(const CommandLine& line, uint8_t address);
std::chrono::microseconds TurnaroundFor(const CommandLine& line, uint8_t address);

// A list of slave addresses such as "1,2,5-8" (each 1..128, each once), in
// rising order; false when the text is not one.
bool ParseAddressList(std::string_view text, std::vector<uint8_t>& addresses);

// Fills `line` from the arguments; false, with the reason in `error`, on an
// option it does not know or a value out of range.
bool ParseCommandLine(int argc, const char* const* argv, CommandLine& line, std::string& error);

std::string HelpText();

}  // namespace sim
