#include "NetworkPeers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>

#include "PtyPair.h"

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

Ser2net::Ser2net(const std::string& device, Mode mode, uint16_t port, const std::string& lineSettings)
    : mode_(mode) {
  port_ = port != 0 ? port : FreeLoopbackPort();
  pidFile_ = "/tmp/korvelt-ser2net-" + std::to_string(getpid()) + "-" + std::to_string(port_) + ".pid";
  const std::string accepter = std::string(mode == Mode::Rfc2217 ? "telnet(rfc2217),tcp" : "tcp") + ",127.0.0.1," +
                               std::to_string(port_);
  // '#' ends a line of -Y's configuration.
  const std::string config = "connection: &korvelt#  accepter: " + accepter + "#  connector: serialdev," + device +
                             "," + lineSettings + ",local";
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
