#include "link/Listener.h"

#include <poll.h>

#include <algorithm>
#include <cerrno>

#include "base/StopWake.h"
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
  if (runner_.Active()) {
    if (end_ == ListenEnd::Running) return false;
    runner_.Join();  // ended by itself: the port went away
  }
  if (!port.IsOpen()) return false;
  onFrame_ = std::move(onFrame);
  {
    std::lock_guard lock(endMutex_);
    end_ = ListenEnd::Running;
    started_ = true;
  }
  const bool started = runner_.Start(
      [this, &port, baudRate](std::stop_token stop) { CHILD_Listen(port, baudRate, std::move(stop)); });
  if (!started) {
    std::lock_guard lock(endMutex_);
    started_ = false;
  }
  return started;
}

void Listener::Stop() {
  std::lock_guard control(controlMutex_);
  runner_.RequestStop();
  runner_.Join();
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

void Listener::CHILD_Listen(SerialPort& port, int baudRate, std::stop_token stop) {
  const base::StopWake wake(stop);
  if (!wake.Valid()) {
    CHILD_End(ListenEnd::Failed);
    return;
  }
  FrameSplitter splitter(baudRate);
  const int idleFlush = IdleFlushMillis(baudRate);
  pollfd fds[2] = {{port.Descriptor(), POLLIN, 0}, {wake.Descriptor(), POLLIN, 0}};
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
