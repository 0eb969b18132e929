#include "sim/ModbusTcpGateway.h"

#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>

#include "sim/RtuFrames.h"

namespace sim {

namespace {

constexpr size_t kHeader = 7;
constexpr uint8_t kTargetFailedToRespond = 0x0B;

size_t Word(const uint8_t* at) { return static_cast<size_t>(at[0] << 8 | at[1]); }

bool SendAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t sent = 0;
  while (sent < bytes.size()) {
    const ssize_t n = send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    sent += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

size_t AduLength(const uint8_t* bytes, size_t count) {
  if (count < kHeader) return 0;
  const size_t length = Word(bytes + 4);
  if (Word(bytes + 2) != 0 || length < 2 || length > 254) return InvalidAdu;
  return 6 + length;
}

std::vector<uint8_t> AnswerAdu(std::span<SimulatedDriver* const> drivers, const uint8_t* adu, size_t length) {
  const uint8_t unit = adu[6];
  const std::vector<uint8_t> request = SealFrame(unit, std::vector<uint8_t>(adu + kHeader, adu + length));
  // Every driver acts on what it hears (a broadcast on all of them); the
  // gateway passes on the first answer.
  std::vector<uint8_t> reply;
  for (SimulatedDriver* driver : drivers) {
    std::vector<uint8_t> own = driver->Respond(request);
    if (reply.empty()) reply = std::move(own);
  }
  // The PDU of the driver's answer, without its address and CRC.
  const std::vector<uint8_t> pdu = reply.size() >= 4 ? std::vector<uint8_t>(reply.begin() + 1, reply.end() - 2)
                                                     : ExceptionPdu(adu[kHeader], kTargetFailedToRespond);
  std::vector<uint8_t> answer(adu, adu + 4);  // the request's identifier and protocol
  answer.push_back(static_cast<uint8_t>((pdu.size() + 1) >> 8));
  answer.push_back(static_cast<uint8_t>((pdu.size() + 1) & 0xFF));
  answer.push_back(unit);
  answer.insert(answer.end(), pdu.begin(), pdu.end());
  return answer;
}

std::vector<uint8_t> AnswerAdu(SimulatedDriver& driver, const uint8_t* adu, size_t length) {
  SimulatedDriver* const one[] = {&driver};
  return AnswerAdu(one, adu, length);
}

bool ServeModbusTcp(std::span<SimulatedDriver* const> drivers, int connection, int stop) {
  std::vector<uint8_t> held;
  for (;;) {
    pollfd fds[2] = {{stop, POLLIN, 0}, {connection, POLLIN, 0}};
    const int ready = poll(fds, 2, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || fds[0].revents != 0) return true;
    uint8_t chunk[512];
    const ssize_t n = recv(connection, chunk, sizeof chunk, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    held.insert(held.end(), chunk, chunk + n);
    for (;;) {
      const size_t length = AduLength(held.data(), held.size());
      if (length == InvalidAdu) return false;  // out of step: a gateway drops the client
      if (length == 0 || held.size() < length) break;
      if (!SendAll(connection, AnswerAdu(drivers, held.data(), length))) return false;
      held.erase(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(length));
    }
  }
}

}  // namespace sim
