#include "link/TcpStream.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <memory>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// What a failed connect(2) says about the address.
struct ConnectErrorKind {
  int error;
  OpenFailureKind kind;
};

constexpr ConnectErrorKind kConnectErrors[] = {
    {ECONNREFUSED, OpenFailureKind::ConnectionRefused}, {ENETUNREACH, OpenFailureKind::HostUnreachable},
    {EHOSTUNREACH, OpenFailureKind::HostUnreachable},   {ENETDOWN, OpenFailureKind::HostUnreachable},
    {EADDRNOTAVAIL, OpenFailureKind::HostUnreachable},  {ETIMEDOUT, OpenFailureKind::ConnectTimedOut},
};

OpenFailureKind KindOfConnectError(int error) {
  for (const ConnectErrorKind& entry : kConnectErrors) {
    if (entry.error == error) return entry.kind;
  }
  return OpenFailureKind::SystemError;
}

int MillisLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

// Keep-alive probes notice a peer that went without a word (a pulled cable,
// a device server switched off) while the line is idle; the user time-out
// notices it while requests go unacknowledged.
void WatchForDeadPeer(int fd) {
  const int on = 1, idle = 2, interval = 1, probes = 3, unacknowledgedMs = 5000;
  setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
  setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
  setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &probes, sizeof probes);
  setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &unacknowledgedMs, sizeof unacknowledgedMs);
}

// A host name looked up within the connection's time: a name server that
// does not answer would otherwise hold the open for as long as the
// resolver's own retries take, half a minute and more. A lookup given up
// on goes on in the resolver, so it is kept until it has ended and let go
// by a later lookup.
struct Lookup {
  std::string host, service;
  addrinfo hints{};
  gaicb request{};
  Lookup(const std::string& name, const std::string& port) : host(name), service(port) {
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_ADDRCONFIG | AI_NUMERICSERV;
    request.ar_name = host.c_str();
    request.ar_service = service.c_str();
    request.ar_request = &hints;
  }
  ~Lookup() {
    if (request.ar_result != nullptr) freeaddrinfo(request.ar_result);
  }
  Lookup(const Lookup&) = delete;
  Lookup& operator=(const Lookup&) = delete;
};

class Abandoned {
 public:
  void Keep(std::unique_ptr<Lookup> lookup) {
    std::lock_guard lock(mutex_);
    Reap();
    lookups_.push_back(std::move(lookup));
  }
  void Reap() {
    std::erase_if(lookups_, [](const std::unique_ptr<Lookup>& l) { return gai_error(&l->request) != EAI_INPROGRESS; });
  }
  void ReapNow() {
    std::lock_guard lock(mutex_);
    Reap();
  }

 private:
  std::mutex mutex_;
  std::vector<std::unique_ptr<Lookup>> lookups_;
};

// Never destroyed: a lookup still going at exit writes into what it holds.
Abandoned& AbandonedLookups() {
  static Abandoned* const lookups = new Abandoned;
  return *lookups;
}

// 0 with the addresses in `lookup->request.ar_result`, else getaddrinfo's
// error; EAI_AGAIN when the time ran out.
int LookUp(const std::string& host, const std::string& service, Clock::time_point deadline,
           std::unique_ptr<Lookup>& lookup) {
  lookup = std::make_unique<Lookup>(host, service);
  // An address needs no name server: looked up at once.
  addrinfo numeric = lookup->hints;
  numeric.ai_flags |= AI_NUMERICHOST;
  if (getaddrinfo(host.c_str(), service.c_str(), &numeric, &lookup->request.ar_result) == 0) return 0;
  lookup->request.ar_result = nullptr;
  AbandonedLookups().ReapNow();
  gaicb* list[] = {&lookup->request};
  if (const int started = getaddrinfo_a(GAI_NOWAIT, list, 1, nullptr); started != 0) return started;
  for (;;) {
    const int state = gai_error(&lookup->request);
    if (state != EAI_INPROGRESS) return state;
    const auto left = deadline - Clock::now();
    if (left <= Clock::duration::zero()) break;
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    const timespec wait{static_cast<time_t>(seconds.count()),
                        static_cast<long>(std::chrono::duration_cast<std::chrono::nanoseconds>(left - seconds).count())};
    gai_suspend(list, 1, &wait);
  }
  if (gai_cancel(&lookup->request) != EAI_CANCELED && gai_error(&lookup->request) == EAI_INPROGRESS) {
    AbandonedLookups().Keep(std::move(lookup));
  }
  return EAI_AGAIN;
}

// How long a server that is going to refuse the connection takes to close
// it, at most.
constexpr int kRefusalWaitMs = 50;

// What a refusing server said, as far as it is printable, for the message.
std::string PrintableStart(const char* bytes, size_t length) {
  std::string text;
  for (size_t i = 0; i < length && text.size() < 80; ++i) {
    const auto c = static_cast<unsigned char>(bytes[i]);
    if (c >= 0x20 && c < 0x7F) text += static_cast<char>(c);
    else if (!text.empty() && text.back() != ' ') text += ' ';
  }
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

}  // namespace

bool TcpStream::Refuse(OpenFailureKind kind, int error, const std::string& detail) {
  fd_.Reset();
  lastFailure_ = OpenFailure{kind, peer_, 0, 0, error, {}};
  lastFailure_.detail = detail;
  return false;
}

bool TcpStream::Connect(const NetworkAddress& address, std::chrono::milliseconds timeout) {
  Close();
  kind_ = address.kind;
  peer_ = HostAndPort(address);
  const auto deadline = Clock::now() + timeout;
  std::unique_ptr<Lookup> lookup;
  const int resolved = LookUp(address.host, std::to_string(address.port), deadline, lookup);
  if (resolved != 0) {
    const int error = resolved == EAI_SYSTEM ? errno : 0;
    return Refuse(OpenFailureKind::NameNotResolved, error, gai_strerror(resolved));
  }
  int error = ETIMEDOUT;
  bool connected = false;
  for (const addrinfo* candidate = lookup->request.ar_result; candidate != nullptr && !connected;
       candidate = candidate->ai_next) {
    connected = ConnectOne(*candidate, deadline, error);
  }
  if (!connected) return Refuse(KindOfConnectError(error), error);
  WatchForDeadPeer(fd_.Get());
  if (!ServerKeptConnection()) return false;
  lastFailure_ = {};
  return true;
}

bool TcpStream::ConnectOne(const addrinfo& candidate, Clock::time_point deadline, int& error) {
  UniqueFd fd(socket(candidate.ai_family, candidate.ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, candidate.ai_protocol));
  if (!fd.Valid()) {
    error = errno;
    return false;
  }
  const auto started = Clock::now();
  if (connect(fd.Get(), candidate.ai_addr, candidate.ai_addrlen) != 0) {
    if (errno != EINPROGRESS) {
      error = errno;
      return false;
    }
    pollfd out{fd.Get(), POLLOUT, 0};
    int ready;
    do {
      ready = poll(&out, 1, MillisLeft(deadline));
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0) {
      error = ready == 0 ? ETIMEDOUT : errno;
      return false;
    }
    socklen_t length = sizeof error;
    if (getsockopt(fd.Get(), SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
    if (error != 0) return false;
  }
  connectTime_ = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - started);
  fd_ = std::move(fd);
  return true;
}

bool TcpStream::ServerKeptConnection() {
  // Only the close is waited for: a refusing server usually says why
  // first, and bytes alone may be the line's.
  pollfd in{fd_.Get(), POLLRDHUP, 0};
  if (poll(&in, 1, kRefusalWaitMs) <= 0) return true;
  if ((in.revents & (POLLRDHUP | POLLHUP | POLLERR)) == 0) return true;
  char said[256];
  const ssize_t n = recv(fd_.Get(), said, sizeof said, MSG_DONTWAIT);
  return Refuse(OpenFailureKind::ServerClosed, 0, n > 0 ? PrintableStart(said, static_cast<size_t>(n)) : "");
}

bool TcpStream::OpenLine(const Line& line) {
  Close();
  const std::optional<NetworkAddress> address = ParseNetworkPort(line.port);
  if (!address) {
    peer_ = line.port;
    return Refuse(OpenFailureKind::BadAddress, 0);
  }
  return Connect(*address, kConnectTimeout) && Configure(line.baud, line.parity);
}

bool TcpStream::OpenToListen(const Line& line) {
  if (KindOfPort(line.port) != PortKind::ModbusTcp) return OpenLine(line);
  Close();
  peer_ = line.port;
  return Refuse(OpenFailureKind::CannotListen, 0);
}

void TcpStream::Close() { fd_.Reset(); }

void TcpStream::PurgeInput() {
  if (!fd_.Valid()) return;
  uint8_t scratch[512];
  // Bounded: a peer that streams without pause does not hold the caller.
  for (int i = 0; i < 64; ++i) {
    if (recv(fd_.Get(), scratch, sizeof scratch, MSG_DONTWAIT) <= 0) return;
  }
}

int TcpStream::QueuedInput() const {
  int queued = 0;
  if (!fd_.Valid() || ioctl(fd_.Get(), FIONREAD, &queued) != 0) return -1;
  return queued;
}

ssize_t TcpStream::Read(uint8_t* buffer, size_t size) {
  if (!fd_.Valid()) {
    errno = EBADF;
    return -1;
  }
  ssize_t n;
  do {
    n = recv(fd_.Get(), buffer, size, MSG_DONTWAIT);
  } while (n < 0 && errno == EINTR);
  // A reset connection has gone as surely as a closed one.
  if (n < 0 && (errno == ECONNRESET || errno == ETIMEDOUT || errno == EPIPE)) return 0;
  return n;
}

void TcpStream::ExpectMore() {
  // A device server that holds back the rest of an answer until its first
  // piece is acknowledged (Nagle) would otherwise wait out the delayed
  // acknowledgement, some 40 ms. Asked for only then: an answer that came
  // whole has its acknowledgement ride on the next request.
  const int on = 1;
  if (fd_.Valid()) setsockopt(fd_.Get(), IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
}

ssize_t TcpStream::Write(const uint8_t* data, size_t size) {
  if (!fd_.Valid()) {
    errno = EBADF;
    return -1;
  }
  ssize_t n;
  do {
    // No SIGPIPE for a peer that has gone: the link finds out from the result.
    n = send(fd_.Get(), data, size, MSG_DONTWAIT | MSG_NOSIGNAL);
  } while (n < 0 && errno == EINTR);
  return n;
}

std::chrono::microseconds TcpStream::RoundTrip() const {
  tcp_info info{};
  socklen_t length = sizeof info;
  if (fd_.Valid() && getsockopt(fd_.Get(), IPPROTO_TCP, TCP_INFO, &info, &length) == 0 && info.tcpi_rtt > 0) {
    return std::chrono::microseconds(info.tcpi_rtt);
  }
  return connectTime_;
}
