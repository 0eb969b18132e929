#include "link/Listener.h"

#include <poll.h>
#include <sys/eventfd.h>

#include <algorithm>
#include <cerrno>
#include <system_error>

#include "link/LineTiming.h"

namespace {

// The most one read takes: two frames' worth.
constexpr size_t kChunk = 2 * MaxFrameLength;

int IdleFlushMillis(int baudRate) {
  const auto fourGaps = std::chrono::ceil<std::chrono::milliseconds>(4 * QuietGap(baudRate));
  return static_cast<int>(std::max(Listener::IdleFlush, fourGaps).count());
}

}  // namespace

Listener::~Listener() { Stop(); }

bool Listener::Start(SerialPort& port, int baudRate, FrameHandler onFrame) {
  std::lock_guard control(controlMutex_);
  if (thread_.joinable()) {
    if (end_ == ListenEnd::Running) return false;
    thread_.join();  // ended by itself: the port went away
  }
  if (!port.IsOpen()) return false;
  UniqueFd wake(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
  if (!wake.Valid()) return false;
  wake_ = std::move(wake);
  onFrame_ = std::move(onFrame);
  {
    std::lock_guard lock(endMutex_);
    end_ = ListenEnd::Running;
    started_ = true;
  }
  try {
    thread_ = std::thread(&Listener::CHILD_Listen, this, std::ref(port), baudRate);
  } catch (const std::system_error&) {
    std::lock_guard lock(endMutex_);
    started_ = false;
    wake_.Reset();
    return false;
  }
  return true;
}

void Listener::Stop() {
  std::lock_guard control(controlMutex_);
  if (!thread_.joinable()) return;
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t ignored = write(wake_.Get(), &one, sizeof one);
  thread_.join();
  wake_.Reset();
}

ListenEnd Listener::Wait() {
  std::unique_lock lock(endMutex_);
  ended_.wait(lock, [&] { return !started_ || end_ != ListenEnd::Running; });
  return end_;
}

void Listener::CHILD_End(ListenEnd end) {
  std::lock_guard lock(endMutex_);
  end_ = end;
  ended_.notify_all();
}

void Listener::CHILD_Listen(SerialPort& port, int baudRate) {
  FrameSplitter splitter(baudRate);
  const int idleFlush = IdleFlushMillis(baudRate);
  pollfd fds[2] = {{port.Descriptor(), POLLIN, 0}, {wake_.Get(), POLLIN, 0}};
  ListenEnd end = ListenEnd::Running;
  while (end == ListenEnd::Running) {
    // Sleeps in the kernel while the line is idle and nothing is held.
    const int ready = poll(fds, 2, splitter.Held() > 0 ? idleFlush : -1);
    if (ready < 0) {
      if (errno != EINTR) end = ListenEnd::Failed;
      continue;
    }
    if (ready == 0) {
      splitter.Flush(onFrame_);
      continue;
    }
    if (fds[1].revents != 0) {
      end = ListenEnd::Stopped;
      continue;
    }
    if (fds[0].revents & POLLIN) {
      uint8_t chunk[kChunk];
      const ssize_t n = port.Read(chunk, sizeof chunk);
      if (n > 0) {
        splitter.Feed(chunk, static_cast<size_t>(n), Stamp::Now(), onFrame_);
      } else if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
        end = ListenEnd::PortLost;
      }
    } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      end = ListenEnd::PortLost;
    }
  }
  splitter.Flush(onFrame_);
  CHILD_End(end);
}
