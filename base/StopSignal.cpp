#include "base/StopSignal.h"

#include <poll.h>
#include <sys/eventfd.h>

#include <time.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

namespace base {

StopSignal::StopSignal() : fd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

void StopSignal::Raise() const {
  const uint64_t one = 1;
  // Non-blocking: a counter already near its limit means raised already.
  [[maybe_unused]] const ssize_t written = ::write(fd_.Get(), &one, sizeof one);
}

bool StopSignal::Raised() const {
  pollfd wake{fd_.Get(), POLLIN, 0};
  return ::poll(&wake, 1, 0) > 0;
}

bool StopSignal::WaitUntil(std::chrono::steady_clock::time_point deadline) const {
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(deadline - std::chrono::steady_clock::now());
    const timespec timeout{static_cast<time_t>(std::max<int64_t>(0, left.count()) / 1'000'000'000),
                           static_cast<long>(std::max<int64_t>(0, left.count()) % 1'000'000'000)};
    pollfd wake{fd_.Get(), POLLIN, 0};
    const int ready = ::ppoll(&wake, 1, &timeout, nullptr);
    if (ready > 0) return true;
    if (ready == 0) return false;
    if (errno != EINTR) return Raised();
  }
}

}  // namespace base
