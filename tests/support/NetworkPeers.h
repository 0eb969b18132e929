// Servers that tests start on the loopback address in front of a simulated
// driver, and stop again: ser2net as a device server (raw, or Telnet with
// COM-port control) on a pseudo-terminal, and loopback ports for failures.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "ChildProcess.h"
#include "base/UniqueFd.h"

// A TCP port on 127.0.0.1 that nothing listens on right now.
uint16_t FreeLoopbackPort();

// Waits until something accepts connections on 127.0.0.1:`port`.
bool AcceptsConnections(uint16_t port, std::chrono::milliseconds timeout);

// ser2net serving `device` on 127.0.0.1: raw TCP, or RFC 2217 Telnet.
class Ser2net {
 public:
  enum class Mode { Raw, Rfc2217 };
  // On `port`, or on a free one when 0; `options` go to the connection's
  // options, each "name: value".
  Ser2net(const std::string& device, Mode mode, uint16_t port = 0, const std::string& lineSettings = "9600N81",
          const std::vector<std::string>& options = {});
  ~Ser2net();
  bool Ready() const { return ready_; }
  uint16_t Port() const { return port_; }
  // "tcp://127.0.0.1:PORT" or "rfc2217://127.0.0.1:PORT".
  std::string PortText() const;
  // Ends the server and waits for it: its connections close.
  void Stop();
  // Whether it has the device open now: it closes it a little after its
  // client went, setting the device's line back as it found it then.
  bool HoldsDevice() const;
  // SIGSTOP holds it with its connections up; SIGKILL drops them at once.
  void Signal(int signal) {
    if (process_) process_->Signal(signal);
  }

 private:
  Mode mode_;
  std::string device_;
  uint16_t port_ = 0;
  std::string pidFile_;
  std::unique_ptr<ChildProcess> process_;
  bool ready_ = false;
};

// A listener whose queue is full: a connection to it never completes.
class BlackHoleListener {
 public:
  BlackHoleListener();
  uint16_t Port() const { return port_; }

 private:
  UniqueFd listener_;
  UniqueFd queued_[4];
  uint16_t port_ = 0;
};

namespace sim {
class SimulatedDriver;
}

// A Modbus TCP gateway in front of a driver, on 127.0.0.1, that misbehaves
// on request: each answer may follow a copy of the one before (a late
// answer, under its own transaction identifier), and one unit identifier
// has no path (exception 0x0A). Serves one connection at a time on a
// thread of its own.
class MisbehavingGateway {
 public:
  static constexpr uint8_t UnitWithoutPath = 200;
  MisbehavingGateway(sim::SimulatedDriver& driver, bool repeatsEachAnswerLate);
  ~MisbehavingGateway();
  uint16_t Port() const { return port_; }
  std::string PortText() const { return "modbus-tcp://127.0.0.1:" + std::to_string(port_); }

 private:
  void Serve();
  sim::SimulatedDriver& driver_;
  bool repeats_;
  UniqueFd listener_;
  UniqueFd stop_;
  uint16_t port_ = 0;
  std::thread thread_;
};
