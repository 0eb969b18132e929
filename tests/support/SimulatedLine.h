// A simulated driver served on a pseudo-terminal that a private ports
// folder maps as a COM number, for tests of the window and the command line.
#pragma once

#include <memory>

#include "PtyPair.h"
#include "sim/SimulatedDriver.h"
#include "sim/SlaveServer.h"

// A simulated driver on COM `comNumber` of a private ports folder.
class SimulatedLine {
 public:
  // `line`: the driver's own settings, and whether it hears only a master
  // at them (by default it hears any).
  explicit SimulatedLine(unsigned comNumber = 1, sim::DriverOptions options = {}, sim::LineOptions line = {});
  ~SimulatedLine();

  sim::SimulatedDriver& Driver() { return driver_; }
  PtyPair& Pty() { return pty_; }
  PortsFolder& Ports() { return ports_; }
  // The adapter is pulled: the driver stops and the line hangs up.
  void Unplug();

 private:
  PtyPair pty_;
  PortsFolder ports_;
  sim::SimulatedDriver driver_;
  std::unique_ptr<sim::SlaveServer> server_;
};
