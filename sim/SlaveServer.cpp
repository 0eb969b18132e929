#include "sim/SlaveServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <stdexcept>

#include "sim/RtuFrames.h"

namespace sim {

namespace {

// A line that has hung up (no peer on a pseudo-terminal, an adapter pulled)
// is looked at again this often, without spinning.
constexpr std::chrono::milliseconds kHangupRetry{100};
// No request is longer; more bytes than this without a recognisable
// request are noise.
constexpr size_t kMaxPending = 512;

}  // namespace

SlaveServer::SlaveServer(SimulatedDriver& driver, int fd, TrafficLog log)
    : driver_(driver), fd_(fd), savedFlags_(fcntl(fd, F_GETFL)), log_(std::move(log)),
      wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (!wake_.Valid()) throw std::runtime_error("eventfd failed");
  if (savedFlags_ >= 0) fcntl(fd_, F_SETFL, savedFlags_ | O_NONBLOCK);
  thread_ = std::thread([this] { Serve(); });
}

SlaveServer::~SlaveServer() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(wake_.Get(), &one, sizeof one);
  thread_.join();
  if (savedFlags_ >= 0) fcntl(fd_, F_SETFL, savedFlags_);
}

SlaveServer::Event SlaveServer::Wait(int timeoutMs) {
  pollfd fds[2] = {{wake_.Get(), POLLIN, 0}, {fd_, POLLIN, 0}};
  for (;;) {
    const int ready = poll(fds, 2, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return ready == 0 ? Event::Silence : Event::Hangup;
    if (fds[0].revents != 0) return Event::Stop;
    if (fds[1].revents & POLLNVAL) return Event::Closed;
    if (fds[1].revents & POLLIN) return Event::Readable;
    return Event::Hangup;
  }
}

bool SlaveServer::Pause(std::chrono::milliseconds duration) {
  pollfd wake{wake_.Get(), POLLIN, 0};
  const auto deadline = std::chrono::steady_clock::now() + duration;
  for (;;) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return true;
    const int ready = poll(&wake, 1, static_cast<int>(left.count()));
    if (ready > 0) return false;
    if (ready < 0 && errno != EINTR) return false;
  }
}

void SlaveServer::WaitForStop() {
  pollfd wake{wake_.Get(), POLLIN, 0};
  while (poll(&wake, 1, -1) < 0 && errno == EINTR) {
  }
}

void SlaveServer::Serve() {
  std::vector<uint8_t> pending;
  bool dropping = false;  // a broken frame: ignore the line until it falls silent
  for (;;) {
    const bool waitingForEnd = dropping || !pending.empty();
    switch (Wait(waitingForEnd ? static_cast<int>(SilenceGap.count()) : -1)) {
      case Event::Stop:
        return;
      case Event::Closed:
        // The descriptor was closed under us: nothing more to serve.
        WaitForStop();
        return;
      case Event::Hangup:
        pending.clear();
        dropping = false;
        if (!Pause(kHangupRetry)) return;
        continue;
      case Event::Silence:
        // The request ended without a length this slave could tell: judge
        // it whole (its CRC decides).
        if (!dropping && !pending.empty()) Handle(pending);
        pending.clear();
        dropping = false;
        continue;
      case Event::Readable:
        break;
    }
    uint8_t chunk[256];
    const ssize_t n = read(fd_, chunk, sizeof chunk);
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) {
      // EIO on a pseudo-terminal whose other side is closed.
      pending.clear();
      if (!Pause(kHangupRetry)) return;
      continue;
    }
    if (dropping) continue;
    pending.insert(pending.end(), chunk, chunk + n);
    dropping = !TakeRequests(pending);
    if (dropping || pending.size() > kMaxPending) {
      pending.clear();
      dropping = true;
    }
  }
}

bool SlaveServer::TakeRequests(std::vector<uint8_t>& pending) {
  for (;;) {
    const size_t length = RequestLength(pending.data(), pending.size());
    if (length == 0 || length == UnknownRequestLength || pending.size() < length) return true;
    if (!CrcMatches(pending.data(), length)) return false;
    const std::vector<uint8_t> request(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(length));
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(length));
    Handle(request);
  }
}

void SlaveServer::Handle(const std::vector<uint8_t>& request) {
  const Reply reply = driver_.Answer(request.data(), request.size());
  if (log_) log_(request, reply);
  Send(reply);
}

void SlaveServer::Send(const Reply& reply) {
  if (reply.bytes.empty()) return;
  if (reply.delay.count() > 0 && !Pause(reply.delay)) return;
  if (reply.pieceGap.count() <= 0) {
    WriteAll(reply.bytes.data(), reply.bytes.size());
    return;
  }
  for (size_t i = 0; i < reply.bytes.size(); ++i) {
    if (i > 0 && !Pause(reply.pieceGap)) return;
    if (!WriteAll(&reply.bytes[i], 1)) return;
  }
}

bool SlaveServer::WriteAll(const uint8_t* bytes, size_t count) {
  while (count > 0) {
    const ssize_t n = write(fd_, bytes, count);
    if (n > 0) {
      bytes += n;
      count -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN) return false;
    // The line is full: wait for room, or for the stop.
    pollfd fds[2] = {{wake_.Get(), POLLIN, 0}, {fd_, POLLOUT, 0}};
    const int ready = poll(fds, 2, static_cast<int>(kHangupRetry.count()));
    if (ready > 0 && (fds[0].revents != 0 || (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)))) return false;
  }
  return true;
}

}  // namespace sim
