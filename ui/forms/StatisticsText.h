// The communication statistics line under the traffic display, and the
// real poll rate that it ends with.
#pragma once

#include <chrono>
#include <deque>
#include <string>

#include "link/LinkStatistics.h"

namespace forms {

// "收发 1234  成功 1230  超时 3  错误 0  异常 1  往返 74/73 ms  轮询 9.8 次/秒":
// transactions, successes, time-outs, bad responses, exception answers, the
// mean and the last round trip of the answered ones ("-" before the first
// answer; one decimal below 10 ms), and the polls that came back per second.
std::string StatisticsText(const LinkStatistics& statistics, double pollsPerSecond);

// Status polls that came back per second, over the last Span; counted from
// Restart (the port opened, "自动更新" ticked) while that is more recent.
class PollRate {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr Clock::duration Span = std::chrono::seconds(3);

  // Forgets what came back before `now`.
  void Restart(Clock::time_point now);
  // A poll came back at `at` (never earlier than one counted before).
  void Count(Clock::time_point at);
  double PerSecond(Clock::time_point now) const;

 private:
  std::deque<Clock::time_point> back_;  // within Span of the latest
  Clock::time_point since_{};
};

}  // namespace forms
