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

bool Listener::Start(ByteChannel& port, int baudRate, FrameHandler onFrame) {
  if (runner_.Running() || !port.IsOpen()) return false;
  runner_.Join();  // one that ended by itself: the port went away
  onFrame_ = std::move(onFrame);
  end_ = ListenEnd::Running;
  return runner_.Start(
      [this, &port, baudRate](std::stop_token stop) { CHILD_Listen(port, baudRate, std::move(stop)); });
}

void Listener::CHILD_Listen(ByteChannel& port, int baudRate, std::stop_token stop) {
  const base::StopWake wake(stop);
  if (!wake.Valid()) {
    end_ = ListenEnd::Failed;
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
  end_ = end;
}
