#include "sim/SlaveServer.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
// A babbling line is topped up this often.
constexpr std::chrono::milliseconds kBabblePeriod{5};
// Longer than any pause of a faulty answer the serving thread may be in.
constexpr std::chrono::seconds kBabbleTakenWithin{2};
// A paced answer's bytes are a character time apart (95 us at 115200
// bit/s); the kernel's default slack of 50 us would smear them.
constexpr unsigned long kPacedTimerSlackNs = 1000;

timespec TimespecOf(std::chrono::nanoseconds duration) {
  const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(duration);
  return {static_cast<time_t>(seconds.count()), static_cast<long>((duration - seconds).count())};
}

bool IsSocket(int fd) {
  struct stat info {};
  return fstat(fd, &info) == 0 && S_ISSOCK(info.st_mode);
}

void Signal(const UniqueFd& event) {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(event.Get(), &one, sizeof one);
}

// Two drivers driving the line at once: where either drives a 0 bit the
// line shows it, and the longer answer's tail goes out alone.
void Collide(std::vector<uint8_t>& line, const std::vector<uint8_t>& other) {
  if (other.size() > line.size()) line.resize(other.size(), 0xFF);
  for (size_t i = 0; i < other.size(); ++i) line[i] &= other[i];
}

}  // namespace

SlaveServer::SlaveServer(SimulatedDriver& driver, int fd, TrafficLog log)
    : SlaveServer(driver, fd, LineOptions{}, std::move(log)) {}

SlaveServer::SlaveServer(SimulatedDriver& driver, int fd, LineOptions line, TrafficLog log)
    : SlaveServer(std::vector<Station>{{&driver, line.turnaround}}, fd, line, std::move(log)) {}

SlaveServer::SlaveServer(std::vector<Station> stations, int fd, LineOptions line, TrafficLog log)
    : stations_(std::move(stations)), fd_(fd), savedFlags_(fcntl(fd, F_GETFL)), terminal_(isatty(fd) == 1), socket_(IsSocket(fd)), line_(std::move(line)),
      log_(std::move(log)), wake_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), ended_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
  if (!wake_.Valid() || !ended_.Valid()) throw std::runtime_error("eventfd failed");
  if (line_.settings.baud == 0) line_.settings.baud = LineSettings{}.baud;
  if (savedFlags_ >= 0) fcntl(fd_, F_SETFL, savedFlags_ | O_NONBLOCK);
  thread_ = std::thread([this] { Serve(); });
}

SlaveServer::~SlaveServer() {
  stop_ = true;
  Signal(wake_);
  thread_.join();
  if (savedFlags_ >= 0) fcntl(fd_, F_SETFL, savedFlags_);
}

void SlaveServer::Babble(unsigned bytesPerSecond) {
  babbleRate_ = bytesPerSecond;
  Signal(wake_);
  std::unique_lock lock(babbleMutex_);
  babbleTaken_.wait_for(lock, kBabbleTakenWithin, [&] { return babbleServed_ == bytesPerSecond; });
}

bool SlaveServer::TakeWake() {
  // A stop stays signalled, so every later wait sees it too.
  if (stop_) return true;
  uint64_t count = 0;
  [[maybe_unused]] const ssize_t taken = read(wake_.Get(), &count, sizeof count);
  return stop_;
}

SlaveServer::Event SlaveServer::Wait(int timeoutMs) {
  pollfd fds[2] = {{wake_.Get(), POLLIN, 0}, {fd_, POLLIN, 0}};
  for (;;) {
    const int ready = poll(fds, 2, timeoutMs);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return ready == 0 ? Event::Silence : Event::Hangup;
    if (fds[0].revents != 0) return TakeWake() ? Event::Stop : Event::Kick;
    if (fds[1].revents & POLLNVAL) return Event::Closed;
    if (fds[1].revents & POLLIN) return Event::Readable;
    return Event::Hangup;
  }
}

bool SlaveServer::PauseUntil(Clock::time_point deadline) {
  pollfd wake{wake_.Get(), POLLIN, 0};
  for (;;) {
    // Each wait runs to the absolute deadline, so waits do not add up
    // their wake-up latencies.
    const auto left = deadline - Clock::now();
    if (left.count() <= 0) return true;
    const timespec timeout = TimespecOf(left);
    const int ready = ppoll(&wake, 1, &timeout, nullptr);
    if (ready > 0 && TakeWake()) return false;
    if (ready < 0 && errno != EINTR) return false;
  }
}

void SlaveServer::End() {
  Signal(ended_);
  WaitForStop();
}

void SlaveServer::WaitForStop() {
  pollfd wake{wake_.Get(), POLLIN, 0};
  while (!stop_) {
    if (poll(&wake, 1, -1) > 0) TakeWake();
  }
}

void SlaveServer::SendBabble(std::chrono::steady_clock::time_point& mark) {
  const auto now = std::chrono::steady_clock::now();
  const double seconds = std::chrono::duration<double>(now - mark).count();
  uint8_t garbage[256];
  const size_t owed = std::min(sizeof garbage, static_cast<size_t>(seconds * babbleRate_));
  if (owed == 0) return;
  for (size_t i = 0; i < owed; ++i) {
    noise_ ^= noise_ << 13;
    noise_ ^= noise_ >> 17;
    noise_ ^= noise_ << 5;
    garbage[i] = static_cast<uint8_t>(noise_);
  }
  mark = now;
  WriteAll(garbage, owed);
}

void SlaveServer::Serve() {
  if (line_.wire) prctl(PR_SET_TIMERSLACK, kPacedTimerSlackNs);
  std::vector<uint8_t> pending;
  bool dropping = false;  // a broken frame: ignore the line until it falls silent
  auto babbleMark = std::chrono::steady_clock::now();
  for (;;) {
    const unsigned rate = babbleRate_;
    if (rate != babbleServed_) {
      {
        std::lock_guard lock(babbleMutex_);
        babbleServed_ = rate;
      }
      babbleTaken_.notify_all();
    }
    const bool babbling = rate > 0;
    if (babbling) {
      SendBabble(babbleMark);
    } else {
      babbleMark = std::chrono::steady_clock::now();
    }
    const bool waitingForEnd = dropping || !pending.empty();
    const std::chrono::milliseconds timeout = babbling ? kBabblePeriod : SilenceGap;
    switch (Wait(babbling || waitingForEnd ? static_cast<int>(timeout.count()) : -1)) {
      case Event::Stop:
        return;
      case Event::Kick:
        continue;
      case Event::Closed:
        // The descriptor was closed under us: nothing more to serve.
        WaitForStop();
        return;
      case Event::Hangup:
        if (!terminal_) {
          End();
          return;
        }
        pending.clear();
        dropping = false;
        if (!Pause(kHangupRetry)) return;
        continue;
      case Event::Silence:
        // The request ended without a length this slave could tell: judge
        // it whole (its CRC decides).
        if (!dropping && !pending.empty()) {
          Handle(pending);
          Handled();
        }
        pending.clear();
        dropping = false;
        continue;
      case Event::Readable:
        break;
    }
    uint8_t chunk[256];
    const ssize_t n = read(fd_, chunk, sizeof chunk);
    const Clock::time_point arrived = Clock::now();
    if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0 && !terminal_) {
      // A socket whose peer has closed it, or that broke.
      End();
      return;
    }
    if (n <= 0) {
      // EIO on a pseudo-terminal whose other side is closed.
      pending.clear();
      if (!Pause(kHangupRetry)) return;
      continue;
    }
    if (dropping || babbling) continue;  // a babbling driver hears nothing
    if (pending.empty()) requestStart_ = arrived;
    pending.insert(pending.end(), chunk, chunk + n);
    dropping = !TakeRequests(pending);
    Handled();
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
  // On the wire the request ends its length after its first byte came, and
  // what came with it follows it.
  const Clock::time_point ended =
      line_.wire ? requestStart_ + WireTime(request.size(), line_.settings.baud) : Clock::now();
  requestStart_ = ended;
  if (!Hears()) return;
  // Every driver hears every request; normally one of them answers.
  Reply reply;
  std::chrono::microseconds turnaround{0};
  const SimulatedDriver* answering = nullptr;
  for (const Station& station : stations_) {
    // A driver does not hear the line while it answers.
    if (station.driver == deaf_) continue;
    Reply own = station.driver->Answer(request.data(), request.size());
    if (own.bytes.empty()) continue;
    if (answering == nullptr) {
      reply = std::move(own);
      turnaround = station.turnaround;
      answering = station.driver;
    } else {
      Collide(reply.bytes, own.bytes);
      turnaround = std::min(turnaround, station.turnaround);
    }
  }
  if (log_) log_(request, reply);
  const bool heardMeanwhile = Send(reply, line_.wire ? ended + turnaround : Clock::now());
  if (!line_.wire || answering == nullptr) return;
  // Requests that came while it turned round and answered (those after
  // this one in the same read, and any waiting before its last byte went)
  // were not heard by it; the others on the line hear them, later than on
  // a real line.
  deaf_ = answering;
  deafNextRead_ = heardMeanwhile;
}

void SlaveServer::Handled() {
  if (deafNextRead_) {
    deafNextRead_ = false;
  } else {
    deaf_ = nullptr;
  }
}

bool SlaveServer::Hears() {
  if (!line_.hearOwnSettingsOnly) return true;
  // Read for every request, so a master that reopens at another rate is
  // noticed at once.
  const std::optional<LineSettings> master = MasterSettings(fd_);
  if (!master || *master == line_.settings) return true;
  if (line_.unheard) line_.unheard(*master);
  return false;
}

bool SlaveServer::Send(const Reply& reply, Clock::time_point start) {
  size_t sent = 0;
  bool heardMeanwhile = false;
  for (const AnswerPiece& piece : ScheduleAnswer(reply, start, line_.wire ? line_.settings.baud : 0)) {
    if (!PauseUntil(piece.at)) return heardMeanwhile;
    if (piece.end == reply.bytes.size()) {
      // Before the answer's last byte is out: what is waiting now came
      // while it was on its way. A master answered at once comes after.
      pollfd input{fd_, POLLIN, 0};
      heardMeanwhile = poll(&input, 1, 0) > 0;
    }
    if (!WriteAll(reply.bytes.data() + sent, piece.end - sent)) return heardMeanwhile;
    sent = piece.end;
  }
  return heardMeanwhile;
}

bool SlaveServer::WriteAll(const uint8_t* bytes, size_t count) {
  while (count > 0) {
    // A peer that has closed its socket must not raise SIGPIPE.
    const ssize_t n = socket_ ? send(fd_, bytes, count, MSG_NOSIGNAL) : write(fd_, bytes, count);
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
    if (ready > 0 && fds[0].revents != 0 && TakeWake()) return false;
    if (ready > 0 && (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL))) return false;
  }
  return true;
}

}  // namespace sim
