#include "SimulatedLine.h"

#include <utility>

SimulatedLine::SimulatedLine(unsigned comNumber, sim::DriverOptions options, sim::LineOptions line)
    : driver_(std::move(options)) {
  ports_.Map(comNumber, pty_.SlavePath());
  server_ = std::make_unique<sim::SlaveServer>(driver_, pty_.Master(), std::move(line));
}

SimulatedLine::~SimulatedLine() { server_.reset(); }

void SimulatedLine::Unplug() {
  server_.reset();
  pty_.Hangup();
}
