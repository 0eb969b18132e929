#include "sim/TcpLine.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <cerrno>

namespace sim {

UniqueFd ListenOnLoopback(uint16_t port, uint16_t& bound) {
  UniqueFd listener(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!listener.Valid()) return listener;
  // A restarted simulator gets its port back while old connections linger.
  const int on = 1;
  setsockopt(listener.Get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(port);
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (bind(listener.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
      listen(listener.Get(), 1) != 0 ||
      getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    const int error = errno;
    listener.Reset();
    errno = error;
    return listener;
  }
  bound = ntohs(address.sin_port);
  return listener;
}

UniqueFd AcceptConnection(int listener) {
  UniqueFd connection(accept4(listener, nullptr, nullptr, SOCK_CLOEXEC));
  if (connection.Valid()) {
    const int on = 1;
    setsockopt(connection.Get(), IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  }
  return connection;
}

}  // namespace sim
