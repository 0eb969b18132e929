#include "link/Rfc2217Stream.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace {

using Clock = std::chrono::steady_clock;
using namespace telnet;

// The COM-port control commands of the client; the server confirms each
// with its code plus 100.
constexpr uint8_t kSetBaudRate = 1, kSetDataSize = 2, kSetParity = 3, kSetStopSize = 4;
constexpr uint8_t kServerOffset = 100;
constexpr unsigned kAllConfirmed = 1u << kSetBaudRate | 1u << kSetDataSize | 1u << kSetParity | 1u << kSetStopSize;

// The option's values: parity none, odd, even; one or two stop bits.
constexpr uint8_t kParityValue[] = {1, 2, 3};  // by ParityIndex: None2, Odd, Even

bool Accepted(uint8_t option) {
  return option == OptionBinary || option == OptionSuppressGoAhead || option == OptionComPort;
}

}  // namespace

bool Rfc2217Stream::OpenLine(const Line& line) {
  Close();
  decoder_ = {};
  comPortRefused_ = false;
  for (auto& side : said_) std::fill(std::begin(side), std::end(side), false);
  const std::optional<NetworkAddress> address = ParseNetworkPort(line.port);
  if (!address) return Refuse(OpenFailureKind::BadAddress, 0);
  if (!Connect(*address, kConnectTimeout)) return false;
  // Binary both ways, no go-aheads, and COM-port control of the server.
  const uint8_t hello[] = {IAC, WILL, OptionComPort, IAC, WILL, OptionBinary, IAC, DO, OptionBinary,
                           IAC, WILL, OptionSuppressGoAhead, IAC, DO, OptionSuppressGoAhead};
  said_[0][OptionComPort] = said_[0][OptionBinary] = said_[0][OptionSuppressGoAhead] = true;
  said_[1][OptionBinary] = said_[1][OptionSuppressGoAhead] = true;
  if (!SendAll(hello, sizeof hello)) return Refuse(OpenFailureKind::ServerClosed, errno);
  if (!Configure(line.baud, line.parity)) {
    const OpenFailure failure = lastFailure_;
    Close();
    lastFailure_ = failure;
    return false;
  }
  return true;
}

bool Rfc2217Stream::Configure(int baudRate, Parity parity) {
  if (!IsOpen()) return false;
  const auto rate = static_cast<uint32_t>(baudRate);
  const uint8_t stop = parity == Parity::None2 ? 2 : 1;
  const uint8_t settings[] = {
      IAC, SB, OptionComPort, kSetBaudRate, static_cast<uint8_t>(rate >> 24), static_cast<uint8_t>(rate >> 16),
      static_cast<uint8_t>(rate >> 8), static_cast<uint8_t>(rate), IAC, SE,
      IAC, SB, OptionComPort, kSetDataSize, 8, IAC, SE,
      IAC, SB, OptionComPort, kSetParity, kParityValue[ParityIndex(parity)], IAC, SE,
      IAC, SB, OptionComPort, kSetStopSize, stop, IAC, SE,
  };
  // A rate byte of 0xFF would have to be doubled; the driver's rates have none.
  confirmed_ = 0;
  confirmedRate_ = 0;
  if (!SendAll(settings, sizeof settings)) return Refuse(OpenFailureKind::ServerClosed, errno);
  const bool answered = ReadUntil([this] { return confirmed_ == kAllConfirmed || comPortRefused_; },
                                  Clock::now() + SettingTimeout);
  if (!IsOpen()) return false;  // the server closed it: lastFailure_ says so
  if (comPortRefused_) return Refuse(OpenFailureKind::NoComPortControl, 0);
  if (!answered || confirmedRate_ != rate) {
    Refuse(OpenFailureKind::SettingRefused, 0, answered ? std::to_string(confirmedRate_) : std::string());
    lastFailure_.baudRate = baudRate;
    return false;
  }
  lastFailure_ = {};
  return true;
}

void Rfc2217Stream::Handle(const Command& command) {
  if (command.verb == SB) {
    if (command.option != OptionComPort || command.payloadLength < 1) return;
    const uint8_t code = command.payload[0];
    if (code <= kServerOffset || code > kServerOffset + kSetStopSize) return;
    confirmed_ |= 1u << (code - kServerOffset);
    if (code == kServerOffset + kSetBaudRate && command.payloadLength >= 5) {
      confirmedRate_ = static_cast<uint32_t>(command.payload[1]) << 24 | static_cast<uint32_t>(command.payload[2]) << 16 |
                       static_cast<uint32_t>(command.payload[3]) << 8 | command.payload[4];
    }
    return;
  }
  const bool askedToDo = command.verb == DO || command.verb == DONT;  // about this side's option
  const bool positive = command.verb == DO || command.verb == WILL;
  if (command.option == OptionComPort && !positive && command.verb == DONT) comPortRefused_ = true;
  bool& said = said_[askedToDo ? 0 : 1][command.option];
  const bool agree = positive && Accepted(command.option);
  if (said == agree && (said || !positive)) return;  // already so: no answer, no loop
  said = agree;
  const uint8_t verb = askedToDo ? (agree ? WILL : WONT) : (agree ? DO : DONT);
  const uint8_t reply[] = {IAC, verb, command.option};
  SendAll(reply, sizeof reply);
}

bool Rfc2217Stream::SendAll(const uint8_t* bytes, size_t length) {
  std::lock_guard lock(sending_);
  size_t sent = 0;
  const auto deadline = Clock::now() + SettingTimeout;
  while (sent < length) {
    const ssize_t n = TcpStream::Write(bytes + sent, length - sent);
    if (n > 0) {
      sent += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    pollfd out{Descriptor(), POLLOUT, 0};
    if (left <= 0 || poll(&out, 1, static_cast<int>(left)) <= 0) return false;
  }
  return true;
}

bool Rfc2217Stream::ReadUntil(const std::function<bool()>& done, Clock::time_point deadline) {
  uint8_t line[256];
  while (!done()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) return false;
    pollfd in{Descriptor(), POLLIN, 0};
    const int ready = poll(&in, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    const ssize_t n = Read(line, sizeof line);
    if (n == 0) {
      Refuse(OpenFailureKind::ServerClosed, 0);
      return false;
    }
  }
  return true;
}

void Rfc2217Stream::PurgeInput() {
  uint8_t line[256];
  for (int i = 0; i < 64 && Read(line, sizeof line) > 0; ++i) {
  }
}

ssize_t Rfc2217Stream::Read(uint8_t* buffer, size_t size) {
  uint8_t raw[256];
  const ssize_t n = TcpStream::Read(raw, std::min(size, sizeof raw));
  if (n <= 0) return n;
  const size_t data = decoder_.Feed(raw, static_cast<size_t>(n), buffer, [this](const Command& c) { Handle(c); });
  if (data == 0) {
    errno = EAGAIN;  // only the stream's own commands came
    return -1;
  }
  return static_cast<ssize_t>(data);
}

ssize_t Rfc2217Stream::Write(const uint8_t* data, size_t size) {
  uint8_t escaped[2 * MaxLineWrite];
  size = std::min(size, MaxLineWrite);
  const size_t length = telnet::Escape(data, size, escaped);
  if (!SendAll(escaped, length)) return -1;
  return static_cast<ssize_t>(size);
}
