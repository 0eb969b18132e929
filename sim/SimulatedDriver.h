// A simulated motor driver as a Modbus RTU slave: one complete request frame
// in, the answer out (or silence), with faults injected on request. Thread-
// safe: a serving thread and a test may use it at the same time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "sim/Device.h"
#include "sim/DriverOptions.h"
#include "sim/Fault.h"
#include "sim/LineSettings.h"
#include "sim/MotorModel.h"

namespace sim {

// The slave address every driver takes as its own and never answers.
constexpr uint8_t BroadcastAddress = 0;

class SimulatedDriver {
 public:
  explicit SimulatedDriver(DriverOptions options = {});
  SimulatedDriver(const SimulatedDriver&) = delete;
  SimulatedDriver& operator=(const SimulatedDriver&) = delete;

  // The answer to one complete request frame, address to CRC, and how to
  // send it. No bytes: the driver stays silent (CRC error, another slave's
  // frame, a broadcast, or an injected lost request). A broadcast write is
  // carried out as if addressed to this driver.
  Reply Answer(const uint8_t* frame, size_t length);
  // Only the bytes of Answer.
  std::vector<uint8_t> Respond(const uint8_t* frame, size_t length);
  std::vector<uint8_t> Respond(const std::vector<uint8_t>& frame);

  // A register as the driver would report it now (the motor model is
  // brought up to the clock first).
  uint16_t Register(uint16_t address) const;
  // Back door for tests: stores the value without the driver's write rules.
  // Live registers are recomputed at the next request.
  void SetRegister(uint16_t address, uint16_t value);

  uint8_t Address() const;
  void SetAddress(uint8_t address);

  void SetFault(const Fault& fault);
  void ClearFault();
  Fault CurrentFault() const;

  // Requests addressed to this driver with a good CRC (broadcast writes
  // among them), answered or not.
  uint64_t RequestCount() const;
  // The last of them, address to CRC; empty before the first.
  std::vector<uint8_t> LastRequest() const;

  void SetLoad(double load);
  void SetMotorFault(MotorFault fault);

  // The baud rate and parity its registers hold now. A driver takes them up
  // when it starts; a change over the line waits for the next start.
  LineSettings StoredLineSettings() const;

 private:
  Fault TakeFault(bool write);

  mutable std::mutex mutex_;
  std::function<Clock::time_point()> now_;
  uint8_t address_;
  Fault fault_;
  uint64_t requests_ = 0;
  std::vector<uint8_t> lastRequest_;
  // Reading a register advances the model, hence mutable.
  mutable Device device_;
};

}  // namespace sim
