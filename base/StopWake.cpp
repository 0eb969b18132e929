#include "base/StopWake.h"

#include <utility>

namespace base {

StopWake::StopWake(std::stop_token stop) : stop_(stop), raise_(std::move(stop), Raise{&signal_}) {}

bool StopWake::WaitUntil(std::chrono::steady_clock::time_point deadline) const {
  return signal_.WaitUntil(deadline) || Raised();
}

}  // namespace base
