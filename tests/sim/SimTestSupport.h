// Helpers for the simulated driver's tests: a clock the test moves by hand,
// request frames as byte vectors, and reading an answer's registers.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include <unistd.h>

#include "PtyPair.h"
#include "link/FrameCodec.h"
#include "sim/SimulatedDriver.h"

namespace simtest {

using Bytes = std::vector<uint8_t>;

class ManualClock {
 public:
  sim::Clock::time_point operator()() const { return sim::Clock::time_point(std::chrono::nanoseconds(*ns_)); }
  void Advance(std::chrono::nanoseconds step) { *ns_ += step.count(); }

 private:
  // Shared, so that copies handed to the driver follow the test's moves.
  std::shared_ptr<std::atomic<int64_t>> ns_ = std::make_shared<std::atomic<int64_t>>(1'000'000'000);
};

inline Bytes ToBytes(const Frame& frame) { return Bytes(frame.bytes.begin(), frame.bytes.begin() + frame.length); }

inline Bytes Read(uint8_t slave, uint16_t start, uint16_t count) {
  return ToBytes(BuildReadRequest(slave, start, count));
}
inline Bytes WriteOne(uint8_t slave, uint16_t address, uint16_t value) {
  return ToBytes(BuildWriteSingleRequest(slave, address, value));
}
inline Bytes WriteMany(uint8_t slave, uint16_t start, const std::vector<uint16_t>& values) {
  Frame frame;
  BuildWriteMultipleRequest(slave, start, values.data(), static_cast<uint16_t>(values.size()), frame);
  return ToBytes(frame);
}
inline Bytes Identify(uint8_t slave, uint8_t readCode, uint8_t objectId) {
  return ToBytes(BuildDeviceIdRequest(slave, readCode, objectId));
}
// Any frame with its CRC appended.
inline Bytes Sealed(Bytes bytes) {
  const uint16_t crc = Crc16Modbus(bytes.data(), bytes.size());
  bytes.push_back(static_cast<uint8_t>(crc & 0xFF));
  bytes.push_back(static_cast<uint8_t>(crc >> 8));
  return bytes;
}

// The registers of a read answer (empty if it is not one).
inline std::vector<uint16_t> Words(const Bytes& answer) {
  std::vector<uint16_t> words;
  if (answer.size() < 5 || answer[1] != FunctionReadHolding) return words;
  for (size_t i = 0; i + 1 < answer[2] && 3 + i + 1 < answer.size(); i += 2) {
    words.push_back(static_cast<uint16_t>((answer[3 + i] << 8) | answer[4 + i]));
  }
  return words;
}

// Writes `request` to `fd` and reads an answer of `answerLength` bytes.
inline Bytes Exchange(int fd, const Bytes& request, size_t answerLength) {
  if (write(fd, request.data(), request.size()) != static_cast<ssize_t>(request.size())) return {};
  const std::string answer = ReadExactly(fd, answerLength, std::chrono::milliseconds(3000));
  return Bytes(answer.begin(), answer.end());
}

// The exception code of an answer, 0 if it is not an exception.
inline uint8_t ExceptionOf(const Bytes& answer) {
  return answer.size() == 5 && (answer[1] & 0x80) ? answer[2] : 0;
}

// A driver on a manual clock; `options` may set anything but the clock.
struct ClockedDriver {
  // Declared first: the driver is built with it.
  ManualClock clock;
  sim::SimulatedDriver driver;

  explicit ClockedDriver(sim::DriverOptions options = {}) : driver(WithClock(options, clock)) {}

  static sim::DriverOptions WithClock(sim::DriverOptions options, const ManualClock& clock) {
    options.now = clock;
    return options;
  }
  uint16_t Status(uint16_t offset) { return driver.Register(static_cast<uint16_t>(0x0020 + offset)); }
  int16_t SignedStatus(uint16_t offset) { return static_cast<int16_t>(Status(offset)); }
  int32_t Position() {
    return static_cast<int32_t>((static_cast<uint32_t>(Status(4)) << 16) | Status(5));
  }
  // Exception code of a request, 0 when it was accepted, NoAnswer when the
  // driver stayed silent.
  static constexpr uint8_t NoAnswer = 0xFE;
  uint8_t Send(const Bytes& request) {
    const Bytes answer = driver.Respond(request);
    return answer.empty() ? NoAnswer : ExceptionOf(answer);
  }
  void Run(std::chrono::milliseconds duration, std::chrono::milliseconds step = std::chrono::milliseconds(50)) {
    for (auto done = std::chrono::milliseconds(0); done < duration; done += step) {
      clock.Advance(step);
      driver.Register(0x0020);
    }
  }
};

}  // namespace simtest
