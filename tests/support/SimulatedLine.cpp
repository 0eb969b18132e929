#include "SimulatedLine.h"

#include <utility>

SimulatedLine::SimulatedLine(unsigned comNumber, sim::DriverOptions options) : driver_(std::move(options)) {
  ports_.Map(comNumber, pty_.SlavePath());
  server_ = std::make_unique<sim::SlaveServer>(driver_, pty_.Master());
}

SimulatedLine::~SimulatedLine() { server_.reset(); }

void SimulatedLine::Unplug() {
  server_.reset();
  pty_.Hangup();
}
