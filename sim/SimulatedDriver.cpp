#include "sim/SimulatedDriver.h"

#include "link/FrameCodec.h"
#include "sim/RtuFrames.h"

namespace sim {

SimulatedDriver::SimulatedDriver(DriverOptions options)
    : now_(options.now ? options.now : [] { return Clock::now(); }),
      address_(options.address),
      device_(options, now_()) {}

Reply SimulatedDriver::Answer(const uint8_t* frame, size_t length) {
  std::lock_guard lock(mutex_);
  if (frame == nullptr || !CrcMatches(frame, length)) return {};
  // Every driver on the line takes a broadcast as its own, and none answers it.
  const bool broadcast = frame[0] == BroadcastAddress;
  if (!broadcast && frame[0] != address_ && fault_.kind != FaultKind::AnyAddress) return {};
  const uint8_t* pdu = frame + 1;
  const size_t pduLength = length - 3;
  const bool write = pduLength > 0 && (pdu[0] == FunctionWriteSingle || pdu[0] == FunctionWriteMultiple);
  // Only a write means something to everyone at once; a broadcast read or
  // identification is meant for no one.
  if (broadcast && !write) return {};
  ++requests_;
  lastRequest_.assign(frame, frame + length);
  const Fault fault = TakeFault(write);
  if (fault.kind == FaultKind::NoAnswer) return {};

  device_.AdvanceTo(now_());
  std::vector<uint8_t> answer;
  if (fault.kind == FaultKind::Exception) {
    answer = ExceptionPdu(pdu[0], fault.exceptionCode);
  } else if (fault.kind == FaultKind::IgnoreWrites && write) {
    // Answered by a copy that is then dropped: the answer is the one the
    // write would get (its echo, or its refusal), and nothing is kept.
    Device forgetful = device_;
    answer = forgetful.Handle(pdu, pduLength);
  } else {
    answer = device_.Handle(pdu, pduLength);
  }
  // A request the driver keeps silent on (identification it lacks), or a
  // broadcast, done (or refused) without a word.
  if (answer.empty() || broadcast) return {};
  return ShapeReply(fault, SealFrame(address_, answer));
}

std::vector<uint8_t> SimulatedDriver::Respond(const uint8_t* frame, size_t length) {
  return Answer(frame, length).bytes;
}

std::vector<uint8_t> SimulatedDriver::Respond(const std::vector<uint8_t>& frame) {
  return Respond(frame.data(), frame.size());
}

uint16_t SimulatedDriver::Register(uint16_t address) const {
  std::lock_guard lock(mutex_);
  device_.AdvanceTo(now_());
  return device_.Get(address);
}

void SimulatedDriver::SetRegister(uint16_t address, uint16_t value) {
  std::lock_guard lock(mutex_);
  device_.Set(address, value);
}

uint8_t SimulatedDriver::Address() const {
  std::lock_guard lock(mutex_);
  return address_;
}

void SimulatedDriver::SetAddress(uint8_t address) {
  std::lock_guard lock(mutex_);
  address_ = address;
}

void SimulatedDriver::SetFault(const Fault& fault) {
  std::lock_guard lock(mutex_);
  fault_ = fault;
  if (fault_.requests && *fault_.requests == 0) fault_ = Fault{};
}

void SimulatedDriver::ClearFault() {
  std::lock_guard lock(mutex_);
  fault_ = Fault{};
}

Fault SimulatedDriver::CurrentFault() const {
  std::lock_guard lock(mutex_);
  return fault_;
}

uint64_t SimulatedDriver::RequestCount() const {
  std::lock_guard lock(mutex_);
  return requests_;
}

std::vector<uint8_t> SimulatedDriver::LastRequest() const {
  std::lock_guard lock(mutex_);
  return lastRequest_;
}

void SimulatedDriver::SetLoad(double load) {
  std::lock_guard lock(mutex_);
  device_.SetLoad(load);
}

void SimulatedDriver::SetMotorFault(MotorFault fault) {
  std::lock_guard lock(mutex_);
  device_.SetMotorFault(fault);
}

Fault SimulatedDriver::TakeFault(bool write) {
  const Fault fault = fault_;
  // Reads do not use up a fault that acts on writes only.
  const bool counts = fault_.kind != FaultKind::IgnoreWrites || write;
  if (fault_.kind != FaultKind::None && counts && fault_.requests && --*fault_.requests == 0) fault_ = Fault{};
  return fault;
}

LineSettings SimulatedDriver::StoredLineSettings() const {
  std::lock_guard lock(mutex_);
  const uint32_t baud = (static_cast<uint32_t>(device_.Get(reg::BaudRate)) << 16) | device_.Get(reg::BaudRate + 1);
  return SettingsFromRegisters(baud, device_.Get(reg::SerialParity));
}

}  // namespace sim
