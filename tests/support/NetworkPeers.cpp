#include "NetworkPeers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>

#include "PtyPair.h"
#include "sim/ModbusTcpGateway.h"
#include "sim/SimulatedDriver.h"
#include "sim/TcpLine.h"

namespace {

sockaddr_in Loopback(uint16_t port) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  return address;
}

bool ConnectsNow(uint16_t port) {
  const UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  const sockaddr_in address = Loopback(port);
  return connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
}

}  // namespace

uint16_t FreeLoopbackPort() {
  const UniqueFd fd(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  if (bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      getsockname(fd.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    return 0;
  }
  return ntohs(address.sin_port);
}

bool AcceptsConnections(uint16_t port, std::chrono::milliseconds timeout) {
  return WaitUntil([port] { return ConnectsNow(port); }, timeout);
}

Ser2net::Ser2net(const std::string& device, Mode mode, uint16_t port, const std::string& lineSettings,
                 const std::vector<std::string>& options)
    : mode_(mode), device_(device) {
  port_ = port != 0 ? port : FreeLoopbackPort();
  pidFile_ = "/tmp/korvelt-ser2net-" + std::to_string(getpid()) + "-" + std::to_string(port_) + ".pid";
  const std::string accepter = std::string(mode == Mode::Rfc2217 ? "telnet(rfc2217),tcp" : "tcp") + ",127.0.0.1," +
                               std::to_string(port_);
  // '#' ends a line of -Y's configuration.
  std::string config = "connection: &korvelt#  accepter: " + accepter + "#  connector: serialdev," + device + "," +
                       lineSettings + ",local";
  if (!options.empty()) config += "#  options:";
  for (const std::string& option : options) config += "#    " + option;
  process_ = std::make_unique<ChildProcess>(
      std::vector<std::string>{SER2NET_EXECUTABLE, "-n", "-u", "-P", pidFile_, "-Y", config}, true);
  ready_ = process_->Started() && AcceptsConnections(port_, std::chrono::seconds(10));
}

Ser2net::~Ser2net() {
  Stop();
  std::remove(pidFile_.c_str());
}

std::string Ser2net::PortText() const {
  return std::string(mode_ == Mode::Rfc2217 ? "rfc2217" : "tcp") + "://127.0.0.1:" + std::to_string(port_);
}

void Ser2net::Stop() {
  if (!process_) return;
  process_->Signal(SIGTERM);
  process_->Wait(std::chrono::seconds(5));
  process_.reset();
}

bool Ser2net::HoldsDevice() const {
  if (!process_ || process_->Pid() <= 0) return false;
  std::error_code error;
  const std::filesystem::path held = std::filesystem::canonical(device_, error);
  // Its descriptors come and go meanwhile: no step of the walk may throw.
  std::filesystem::directory_iterator fd("/proc/" + std::to_string(process_->Pid()) + "/fd", error);
  for (; !error && fd != std::filesystem::directory_iterator(); fd.increment(error)) {
    std::error_code unreadable;
    if (std::filesystem::read_symlink(fd->path(), unreadable) == held) return true;
  }
  return false;
}

BlackHoleListener::BlackHoleListener() {
  listener_.Reset(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  sockaddr_in address = Loopback(0);
  socklen_t length = sizeof address;
  bind(listener_.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  getsockname(listener_.Get(), reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  listen(listener_.Get(), 0);
  // Connections that are never accepted fill the queue; the kernel then
  // drops the handshakes of the next.
  for (UniqueFd& queued : queued_) {
    queued.Reset(socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
    connect(queued.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address);
  }
}

MisbehavingGateway::MisbehavingGateway(sim::SimulatedDriver& driver, bool repeatsEachAnswerLate)
    : driver_(driver), repeats_(repeatsEachAnswerLate) {
  listener_ = sim::ListenOnLoopback(0, port_);
  stop_.Reset(eventfd(0, EFD_CLOEXEC));
  thread_ = std::thread(&MisbehavingGateway::Serve, this);
}

MisbehavingGateway::~MisbehavingGateway() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t n = write(stop_.Get(), &one, sizeof one);
  thread_.join();
}

void MisbehavingGateway::Serve() {
  for (;;) {
    pollfd wait[2] = {{stop_.Get(), POLLIN, 0}, {listener_.Get(), POLLIN, 0}};
    if (poll(wait, 2, -1) < 0 || wait[0].revents != 0) return;
    const UniqueFd connection = sim::AcceptConnection(listener_.Get());
    std::vector<uint8_t> held;
    std::vector<uint8_t> previous;
    for (bool open = connection.Valid(); open;) {
      pollfd fds[2] = {{stop_.Get(), POLLIN, 0}, {connection.Get(), POLLIN, 0}};
      if (poll(fds, 2, -1) < 0 || fds[0].revents != 0) return;
      uint8_t chunk[512];
      const ssize_t n = recv(connection.Get(), chunk, sizeof chunk, 0);
      if (n <= 0) break;
      held.insert(held.end(), chunk, chunk + n);
      for (;;) {
        const size_t length = sim::AduLength(held.data(), held.size());
        if (length == sim::InvalidAdu) open = false;
        if (length == 0 || length == sim::InvalidAdu || held.size() < length) break;
        std::vector<uint8_t> answer;
        if (held[6] == UnitWithoutPath) {
          answer = {held[0], held[1], 0, 0, 0, 3, held[6], static_cast<uint8_t>(held[7] | 0x80), 0x0A};
        } else {
          answer = sim::AnswerAdu(driver_, held.data(), length);
        }
        std::vector<uint8_t> sent = repeats_ ? previous : std::vector<uint8_t>();
        sent.insert(sent.end(), answer.begin(), answer.end());
        send(connection.Get(), sent.data(), sent.size(), MSG_NOSIGNAL);
        previous = answer;
        held.erase(held.begin(), held.begin() + static_cast<std::ptrdiff_t>(length));
      }
    }
  }
}
