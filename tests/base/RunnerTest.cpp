// The runner of long work and the wait that ends on its stop, on real
// threads, so that the thread sanitizer sees them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>

#include "PtyPair.h"
#include "base/Runner.h"
#include "base/StopWake.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// A job that waits for its stop at most `patience`, and says how it ended.
struct Waiter {
  std::atomic<bool> waiting{false}, stopped{false}, returned{false};
  base::Runner::Job Job(base::Runner& runner, milliseconds patience, bool stopsItself = false) {
    return [=, this, &runner](std::stop_token stop) {
      if (stopsItself) runner.RequestStop();
      const base::StopWake wake(stop);
      waiting = true;
      stopped = wake.WaitUntil(Clock::now() + patience);
      returned = true;
    };
  }
};

TEST(Runner, AStopReachesItsOwnJobAndWakesItsWaitAtOnce) {
  enum class Then { Join, RequestStop, Destroy };
  const struct {
    const char* what;
    bool stopBeforeStart, stopsItself;
    milliseconds patience;
    Then then;
    bool stopped;
  } cases[] = {
      {"a stop before the start is not the job's", true, false, milliseconds(50), Then::Join, false},
      {"a stop during the wait", false, false, milliseconds(20'000), Then::RequestStop, true},
      {"the job's own stop, asked at once", false, true, milliseconds(20'000), Then::Join, true},
      {"the runner going stops and joins", false, false, milliseconds(20'000), Then::Destroy, true},
  };
  for (const auto& c : cases) {
    Waiter waiter;
    auto runner = std::make_unique<base::Runner>();
    if (c.stopBeforeStart) runner->RequestStop();
    ASSERT_TRUE(runner->Start(waiter.Job(*runner, c.patience, c.stopsItself))) << c.what;
    ASSERT_TRUE(WaitUntil([&] { return waiter.waiting.load(); })) << c.what;
    const Clock::time_point asked = Clock::now();
    if (c.then == Then::RequestStop) runner->RequestStop();
    if (c.then == Then::Destroy) runner.reset();
    if (runner) runner->Join();
    EXPECT_TRUE(waiter.returned) << c.what << ": not joined";
    EXPECT_EQ(waiter.stopped, c.stopped) << c.what;
    EXPECT_LT(Clock::now() - asked, milliseconds(5'000)) << c.what << ": the wait ran on";
  }
}

TEST(Runner, OneJobAtATimeAndAFreshStopForTheNext) {
  base::Runner runner;
  Waiter first, refused, next;
  ASSERT_TRUE(runner.Start(first.Job(runner, milliseconds(20'000))));
  ASSERT_TRUE(WaitUntil([&] { return first.waiting.load(); }));
  EXPECT_TRUE(runner.Running());
  EXPECT_FALSE(runner.Start(refused.Job(runner, milliseconds(0)))) << "a job is running";
  runner.RequestStop();
  ASSERT_TRUE(WaitUntil([&] { return !runner.Running(); }));
  EXPECT_FALSE(runner.Start(refused.Job(runner, milliseconds(0)))) << "returned, not yet joined";
  runner.Join();
  ASSERT_TRUE(runner.Start(next.Job(runner, milliseconds(50))));
  runner.Join();
  EXPECT_FALSE(refused.waiting);
  EXPECT_TRUE(next.returned);
  EXPECT_FALSE(next.stopped) << "the stop of the job before reached the next";
}

}  // namespace
