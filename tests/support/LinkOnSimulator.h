// A link of the tool on COM1 of a private ports folder, the simulated
// driver (motor learned) serving the other end of the pseudo-terminal.
#pragma once

#include <gtest/gtest.h>

#include "PtyPair.h"
#include "sim/SimulatedDriver.h"
#include "sim/SlaveServer.h"

template <class Link>
class LinkOnSimulator : public ::testing::Test {
 protected:
  explicit LinkOnSimulator(int baudRate = 9600) : baudRate_(baudRate) {}

  void SetUp() override {
    ports.Map(1, pty.SlavePath());
    ASSERT_NE(link.OpenPort(1, baudRate_, Parity::None2), 0);
  }

  PortsFolder ports;
  PtyPair pty;
  sim::SimulatedDriver driver{sim::DriverOptions{.learned = true}};
  sim::SlaveServer server{driver, pty.Master()};
  Link link;

 private:
  int baudRate_;
};
