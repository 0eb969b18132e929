// The runner of long work and the wait that ends on its stop: what each
// user relies on, on real threads, so that the thread sanitizer sees it.
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

// A job that waits for its stop for at most `patience` and says how it
// ended.
struct Waiter {
  std::atomic<bool> waiting{false};
  std::atomic<bool> stopped{false};
  std::atomic<bool> returned{false};

  base::Runner::Job Job(base::Runner& runner, milliseconds patience, bool stopsItself) {
    return [this, &runner, patience, stopsItself](std::stop_token stop) {
      if (stopsItself) runner.RequestStop();
      const base::StopWake wake(stop);
      waiting = true;
      stopped = wake.WaitUntil(Clock::now() + patience);
      returned = true;
    };
  }
};

TEST(Runner, AStopReachesTheJobItIsAskedOfAndWakesItsWaitAtOnce) {
  enum class Then { Join, RequestStop, Destroy };
  const struct {
    const char* what;
    bool stopBeforeStart;
    bool stopsItself;
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
    switch (c.then) {
      case Then::Join:
        break;
      case Then::RequestStop:
        runner->RequestStop();
        break;
      case Then::Destroy:
        runner.reset();
        EXPECT_TRUE(waiter.returned) << c.what << ": the job outlived its runner";
        break;
    }
    if (runner) runner->Join();
    EXPECT_TRUE(waiter.returned) << c.what;
    EXPECT_EQ(waiter.stopped, c.stopped) << c.what;
    if (c.stopped) {
      EXPECT_LT(Clock::now() - asked, milliseconds(5'000)) << c.what << ": the wait ran on";
    }
  }
}

TEST(Runner, OneJobAtATimeAndAFreshStopForTheNext) {
  base::Runner runner;
  Waiter first;
  ASSERT_TRUE(runner.Start(first.Job(runner, milliseconds(20'000), false)));
  ASSERT_TRUE(WaitUntil([&] { return first.waiting.load(); }));
  EXPECT_TRUE(runner.Running());
  Waiter refused;
  EXPECT_FALSE(runner.Start(refused.Job(runner, milliseconds(0), false))) << "a job is running";

  runner.RequestStop();
  ASSERT_TRUE(WaitUntil([&] { return !runner.Running(); }));
  EXPECT_TRUE(runner.Active()) << "returned, not joined";
  EXPECT_FALSE(runner.Start(refused.Job(runner, milliseconds(0), false))) << "not joined yet";
  runner.Join();
  EXPECT_FALSE(refused.waiting);

  Waiter next;
  ASSERT_TRUE(runner.Start(next.Job(runner, milliseconds(50), false)));
  runner.Join();
  EXPECT_TRUE(next.returned);
  EXPECT_FALSE(next.stopped) << "the stop of the job before reached the next";
}

}  // namespace
