#include "link/ModbusMaster.h"

#include <poll.h>
#include <sys/eventfd.h>

#include <algorithm>
#include <bitset>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace {

using Clock = std::chrono::steady_clock;

uint16_t Word(const uint8_t* bytes) { return static_cast<uint16_t>((bytes[0] << 8) | bytes[1]); }

// Identification object names by object id; ids 7 and above share the last.
constexpr const char* kObjectNames[] = {
    "公司名称", "产品代码", "主要修订版本", "供应商网址", "产品名称", "模式名称", "用户应用名称", "扩展描述",
};

const char* ObjectName(uint8_t id) { return kObjectNames[std::min<size_t>(id, std::size(kObjectNames) - 1)]; }

// Appends the objects of one identification answer (`data` from its
// more-follows byte on, `length` bytes) to `text` as name:value lines.
void AppendIdentificationObjects(const uint8_t* data, size_t length, std::string& text) {
  size_t offset = 3;
  while (offset + 1 < length) {
    const uint8_t id = data[offset];
    const size_t declared = data[offset + 1];
    const size_t present = std::min(declared, length - (offset + 2));
    const uint8_t* value = data + offset + 2;
    const size_t shown = std::find(value, value + present, 0) - value;
    if (!text.empty()) text += "\r\n";
    text += ObjectName(id);
    text += ':';
    text.append(reinterpret_cast<const char*>(value), shown);
    if (present < declared) break;
    offset += declared + 2;
  }
}

// Hands `carried` bytes of an answer to a caller's buffer of `*capacity`
// bytes and says how many went; nothing when either is absent.
void CopyOut(const uint8_t* data, size_t carried, void* dest, uint16_t* capacity) {
  if (dest == nullptr || capacity == nullptr) return;
  const size_t copied = std::min<size_t>(*capacity, carried);
  std::memcpy(dest, data, copied);
  *capacity = static_cast<uint16_t>(copied);
}

// A write's answer echoes two words (address and value, or start and
// count) at bytes 2..5; either out-parameter may be absent.
void CopyEcho(const Frame& response, uint16_t* first, uint16_t* second) {
  if (first != nullptr) *first = Word(&response.bytes[2]);
  if (second != nullptr) *second = Word(&response.bytes[4]);
}

}  // namespace

// ---------------------------------------------------------------- FrameEvent

void ModbusMaster::FrameEvent::Reset() {
  std::lock_guard lock(mutex_);
  signalled_ = false;
  aborted_ = false;
}

void ModbusMaster::FrameEvent::Signal() {
  {
    std::lock_guard lock(mutex_);
    signalled_ = true;
  }
  cv_.notify_all();
}

void ModbusMaster::FrameEvent::Abort() {
  {
    std::lock_guard lock(mutex_);
    aborted_ = true;
  }
  cv_.notify_all();
}

bool ModbusMaster::FrameEvent::WaitUntil(Clock::time_point deadline) {
  std::unique_lock lock(mutex_);
  cv_.wait_until(lock, deadline, [this] { return signalled_ || aborted_; });
  const bool got = signalled_ && !aborted_;
  signalled_ = false;  // auto-reset
  return got;
}

// ------------------------------------------------------------- port control

ModbusMaster::ModbusMaster() = default;

ModbusMaster::~ModbusMaster() { ClosePort(); }

int ModbusMaster::OpenPort(unsigned portNumber, int baudRate, int parityIndex) {
  return OpenWithMode(portNumber, ModeStringFor(baudRate, parityIndex).c_str());
}

int ModbusMaster::OpenWithMode(unsigned portNumber, const char* mode) {
  std::lock_guard lock(portMutex_);
  if (port_.IsOpen()) return RefuseOpen({OpenFailureKind::AlreadyOpen, port_.DevicePath(), portNumber});
  if (portNumber == 0 || portNumber > 1024) return RefuseOpen({OpenFailureKind::InvalidNumber, {}, portNumber});
  LineSettings settings;
  if (!ParseModeString(mode, settings)) return RefuseOpen({OpenFailureKind::InvalidMode, {}, portNumber});
  if (!port_.Open(portNumber)) return RefuseOpen(port_.LastOpenFailure());
  if (!port_.Configure(settings)) {
    const OpenFailure failure = port_.LastOpenFailure();
    port_.Close();
    return RefuseOpen(failure);
  }
  // Neither is available on every device (a pseudo-terminal has no modem
  // lines and no latency timer), and neither is needed to talk.
  port_.RequestLowLatency();
  port_.RaiseRts();
  port_.PurgeInput();

  wakeFd_.Reset(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!wakeFd_.Valid()) {
    const OpenFailure failure{OpenFailureKind::SystemError, port_.DevicePath(), portNumber, 0, errno};
    port_.Close();
    return RefuseOpen(failure);
  }
  stopReader_ = false;
  lineErrorsSeen_ = false;
  try {
    reader_ = std::thread(&ModbusMaster::CHILD_ReaderLoop, this);
  } catch (const std::system_error& error) {
    wakeFd_.Reset();
    const OpenFailure failure{OpenFailureKind::SystemError, port_.DevicePath(), portNumber, 0, error.code().value()};
    port_.Close();
    return RefuseOpen(failure);
  }
  lastOpenFailure_ = {};
  open_ = true;
  return 1;
}

int ModbusMaster::RefuseOpen(const OpenFailure& failure) {
  lastOpenFailure_ = failure;
  return 0;
}

void ModbusMaster::ClosePort() {
  std::lock_guard lock(portMutex_);
  if (!port_.IsOpen()) return;
  open_ = false;
  stopReader_ = true;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t ignored = write(wakeFd_.Get(), &one, sizeof one);
  if (reader_.joinable()) reader_.join();
  port_.Close();
  wakeFd_.Reset();
  // A transaction still waiting for its answer gives up now.
  frameEvent_.Abort();
}

bool ModbusMaster::IsOpen() const { return open_; }

std::string ModbusMaster::DevicePath() const {
  std::lock_guard lock(portMutex_);
  return port_.DevicePath();
}

OpenFailure ModbusMaster::LastOpenFailure() const {
  std::lock_guard lock(portMutex_);
  return lastOpenFailure_;
}

// ------------------------------------------------------------- reader thread

void ModbusMaster::CHILD_ReaderLoop() {
  pollfd fds[2] = {{port_.Descriptor(), POLLIN, 0}, {wakeFd_.Get(), POLLIN, 0}};
  while (!stopReader_) {
    const int ready = poll(fds, 2, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[1].revents != 0) continue;  // ClosePort: the loop condition ends it
    if (fds[0].revents & POLLIN) {
      if (!CHILD_TakeInput()) break;
    } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      break;
    }
  }
  CHILD_WaitForStop();
}

void ModbusMaster::CHILD_WaitForStop() {
  pollfd wake{wakeFd_.Get(), POLLIN, 0};
  while (!stopReader_) {
    if (poll(&wake, 1, -1) < 0 && errno != EINTR) return;
  }
}

bool ModbusMaster::CHILD_TakeInput() {
  if (port_.TakeLineErrors() != 0) {
    // A damaged byte spoils the frame it belongs to: drop what is pending.
    port_.PurgeInput();
    lineErrorsSeen_ = true;
    return true;
  }
  uint8_t chunk[MaxFrameLength];
  const ssize_t n = port_.Read(chunk, sizeof chunk);
  if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK;
  if (n == 0) return false;  // hung up

  std::lock_guard lock(bufferMutex_);
  const size_t room = MaxFrameLength - receiveCount_;
  const size_t taken = std::min(static_cast<size_t>(n), room);
  std::memcpy(receive_ + receiveCount_, chunk, taken);
  receiveCount_ += static_cast<uint32_t>(taken);

  // Judge a frame only once the input has paused.
  if (port_.QueuedInput() > 0) return true;
  const size_t expected = ExpectedResponseLength(receive_, receiveCount_);
  if (receiveCount_ >= expected &&
      FrameCheck(receive_, receiveCount_, static_cast<uint8_t>(expectedSlave_.load()))) {
    frameEvent_.Signal();
  }
  return true;
}

// -------------------------------------------------------------- transactions

bool ModbusMaster::SendRequest(const Frame& request, Clock::time_point deadline) {
  std::lock_guard lock(portMutex_);
  if (!port_.IsOpen()) return false;
  if (lineErrorsSeen_.exchange(false)) port_.PurgeOutput();
  size_t sent = 0;
  while (sent < request.length) {
    const ssize_t n = port_.Write(request.bytes.data() + sent, request.length - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    // Output queue full: wait for room rather than send half a frame.
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) return false;
    pollfd out{port_.Descriptor(), POLLOUT, 0};
    if (poll(&out, 1, static_cast<int>(left.count())) <= 0 || (out.revents & (POLLERR | POLLHUP))) return false;
  }
  return true;
}

ModbusResult ModbusMaster::Transact(const Frame& request, Frame& response) {
  std::lock_guard transaction(transactionLock_);
  frameEvent_.Reset();
  {
    std::lock_guard lock(bufferMutex_);
    receiveCount_ = 0;
    expectedSlave_ = request.bytes[0];
    std::memcpy(lastRequest_, request.bytes.data(), request.length);
    lastRequestLength_ = static_cast<uint32_t>(request.length);
  }
  const auto deadline = Clock::now() + ResponseTimeout;
  if (!SendRequest(request, deadline)) return ResultTimeout;
  if (!frameEvent_.WaitUntil(deadline)) return ResultTimeout;
  {
    std::lock_guard lock(bufferMutex_);
    response.length = receiveCount_;
    std::memcpy(response.bytes.data(), receive_, response.length);
  }
  const uint8_t function = request.bytes[1];
  if (!FrameCheck(response.bytes.data(), response.length, request.bytes[0]) ||
      (response.bytes[1] & ~ExceptionBit) != function) {
    return ResultBadResponse;
  }
  if (response.bytes[1] & ExceptionBit) return response.bytes[2];
  return ResultSuccess;
}

ModbusResult ModbusMaster::ReadHoldingRegisters(uint8_t slave, uint16_t start, uint16_t count, void* dest,
                                                uint16_t* capacity) {
  if (!IsOpen()) return ResultPortNotOpen;
  Frame response;
  const ModbusResult result = Transact(BuildReadRequest(slave, start, count), response);
  if (result != ResultSuccess) return result;
  // The byte count is trusted only as far as the frame really carries data.
  CopyOut(response.bytes.data() + 3, std::min<size_t>(response.bytes[2], response.length - 5), dest, capacity);
  return ResultSuccess;
}

ModbusResult ModbusMaster::WriteSingleRegister(uint8_t slave, uint16_t address, uint16_t value,
                                               uint16_t* echoedAddress, uint16_t* echoedValue) {
  if (!IsOpen()) return ResultPortNotOpen;
  Frame response;
  const ModbusResult result = Transact(BuildWriteSingleRequest(slave, address, value), response);
  if (result != ResultSuccess) return result;
  CopyEcho(response, echoedAddress, echoedValue);
  return ResultSuccess;
}

ModbusResult ModbusMaster::WriteMultipleRegisters(uint8_t slave, uint16_t start, const uint16_t* source,
                                                  uint16_t count, uint16_t* echoedStart, uint16_t* echoedCount) {
  if (!IsOpen()) return ResultPortNotOpen;
  Frame request;
  if (!BuildWriteMultipleRequest(slave, start, source, count, request)) return ResultDataTooLong;
  Frame response;
  const ModbusResult result = Transact(request, response);
  if (result != ResultSuccess) return result;
  CopyEcho(response, echoedStart, echoedCount);
  return ResultSuccess;
}

ModbusResult ModbusMaster::ReadDeviceIdentification(uint8_t slave, uint8_t readCode, uint8_t objectId, void* dest,
                                                    uint16_t* capacity) {
  if (!IsOpen()) return ResultPortNotOpen;
  Frame response;
  const ModbusResult result = Transact(BuildDeviceIdRequest(slave, readCode, objectId), response);
  if (result != ResultSuccess) return result;
  CopyOut(response.bytes.data() + 5, response.length >= 8 ? response.length - 7 : 0, dest, capacity);
  return ResultSuccess;
}

ModbusResult ModbusMaster::ReadDeviceIdentificationText(uint8_t slave, std::string& text) {
  std::string collected;
  std::bitset<256> asked;
  uint8_t objectId = 0;
  for (int request = 0; request < MaxIdentificationRequests; ++request) {
    asked.set(objectId);
    uint8_t buffer[255];
    uint16_t length = sizeof buffer;
    const ModbusResult result = ReadDeviceIdentification(slave, 1, objectId, buffer, &length);
    if (result != ResultSuccess) return result;
    AppendIdentificationObjects(buffer, length, collected);
    // Follow "more follows" only to an object not asked for yet, so a
    // driver that keeps saying it cannot hold the tool in this loop.
    if (length < 2 || buffer[0] != 0xFF || asked.test(buffer[1])) break;
    objectId = buffer[1];
    std::this_thread::sleep_for(std::chrono::milliseconds(10));  // the driver's pace between requests
  }
  text = std::move(collected);
  return ResultSuccess;
}

std::vector<uint8_t> ModbusMaster::LastSentFrame() const {
  std::lock_guard lock(bufferMutex_);
  return std::vector<uint8_t>(lastRequest_, lastRequest_ + lastRequestLength_);
}

std::vector<uint8_t> ModbusMaster::LastReceivedFrame() const {
  std::lock_guard lock(bufferMutex_);
  return std::vector<uint8_t>(receive_, receive_ + receiveCount_);
}
