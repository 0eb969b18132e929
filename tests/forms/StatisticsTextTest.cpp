#include "ui/forms/StatisticsText.h"

#include <gtest/gtest.h>

namespace {

using namespace std::chrono_literals;
using forms::PollRate;

LinkStatistics Counted(uint64_t ok, uint64_t timeouts, uint64_t bad, uint64_t exceptions,
                       std::chrono::microseconds total, std::chrono::microseconds last) {
  LinkStatistics s;
  s.transactions = ok + timeouts + bad + exceptions;
  s.successes = ok;
  s.timeouts = timeouts;
  s.badResponses = bad;
  s.exceptions = exceptions;
  s.totalRoundTrip = total;
  s.lastRoundTrip = last;
  return s;
}

TEST(StatisticsText, CountsRoundTripsAndPollRate) {
  struct Case {
    LinkStatistics statistics;
    double rate;
    const char* text;
  };
  const Case cases[] = {
      {{}, 0.0, "收发 0  成功 0  超时 0  错误 0  异常 0  往返 -/- ms  轮询 0.0 次/秒"},
      // Time-outs alone: no answer to time.
      {Counted(0, 3, 0, 0, 0us, 0us), 2.0, "收发 3  成功 0  超时 3  错误 0  异常 0  往返 -/- ms  轮询 2.0 次/秒"},
      // 9600 bit/s: whole milliseconds; the mean of 1234 answers.
      {Counted(1230, 3, 0, 1, 1231 * 74'400us, 73'499us), 9.84,
       "收发 1234  成功 1230  超时 3  错误 0  异常 1  往返 74/73 ms  轮询 9.8 次/秒"},
      // A fast line: tenths below 10 ms, whole from 10 on.
      {Counted(2, 0, 1, 0, 3 * 84us, 9'960us), 10.0,
       "收发 3  成功 2  超时 0  错误 1  异常 0  往返 0.1/10 ms  轮询 10.0 次/秒"},
      {Counted(5'000'000'000, 0, 0, 0, 5'000'000'000 * 1us, 1us), 0.04,
       "收发 5000000000  成功 5000000000  超时 0  错误 0  异常 0  往返 0.0/0.0 ms  轮询 0.0 次/秒"},
  };
  for (const Case& c : cases) EXPECT_EQ(forms::StatisticsText(c.statistics, c.rate), c.text);
}

// Polls that came back in the last three seconds, over the time since the
// restart while that is shorter.
TEST(PollRate, CountsOverTheLastSpanOrSinceTheRestart) {
  const PollRate::Clock::time_point t0{10s};
  struct Case {
    const char* what;
    std::chrono::milliseconds every;  // between polls, from t0 + every
    int polls;
    std::chrono::milliseconds readAt;  // after t0
    double perSecond;
  };
  const Case cases[] = {
      {"nothing yet", 100ms, 0, 1000ms, 0.0},
      {"ten a second, one second in", 100ms, 10, 1000ms, 10.0},
      {"ten a second, long running", 100ms, 100, 10'000ms, 10.0},
      {"a slow driver", 250ms, 40, 10'000ms, 4.0},
      {"stopped two seconds ago", 100ms, 80, 10'000ms, 10.0 / 3},
      {"stopped long ago", 100ms, 30, 10'000ms, 0.0},
      {"read at the restart", 100ms, 0, 0ms, 0.0},
  };
  for (const Case& c : cases) {
    PollRate rate;
    rate.Count(t0 - 500ms);  // before the restart: forgotten
    rate.Restart(t0);
    for (int i = 1; i <= c.polls; ++i) rate.Count(t0 + i * c.every);
    EXPECT_NEAR(rate.PerSecond(t0 + c.readAt), c.perSecond, 1e-9) << c.what;
  }
}

}  // namespace
