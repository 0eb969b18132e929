// The main window's poll worker without Qt, so that the thread sanitizer
// sees the hand-over and the teardown the window relies on.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "PtyPair.h"
#include "driver/DriverLink.h"
#include "sim/SimulatedDriver.h"
#include "sim/SlaveServer.h"
#include "ui/worker/PollWorker.h"

namespace {

TEST(PollWorker, RunsOneJobAtATimeOffTheOwnersThreadAndRefusesTheRest) {
  PollWorker worker;
  std::promise<void> release;
  const std::shared_future<void> released = release.get_future().share();
  std::atomic<int> firstRuns{0};
  std::atomic<bool> refusedRan{false};
  std::thread::id ranOn;

  ASSERT_TRUE(worker.Post([&] {
    ranOn = std::this_thread::get_id();
    ++firstRuns;
    released.wait();
  }));
  EXPECT_TRUE(worker.Busy());
  // A tick that comes while a poll runs starts none.
  EXPECT_FALSE(worker.Post([&] { refusedRan = true; }));
  EXPECT_FALSE(worker.Post(nullptr));

  release.set_value();
  ASSERT_TRUE(WaitUntil([&] { return !worker.Busy(); }));
  std::atomic<bool> nextRan{false};
  ASSERT_TRUE(worker.Post([&] { nextRan = true; }));
  ASSERT_TRUE(WaitUntil([&] { return nextRan && !worker.Busy(); }));

  EXPECT_EQ(firstRuns, 1);
  EXPECT_FALSE(refusedRan);
  EXPECT_NE(ranOn, std::this_thread::get_id());
}

TEST(PollWorker, StopWaitsForTheRunningJobAndRefusesLaterJobs) {
  PollWorker worker;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<bool> jobBegan{false};
  std::atomic<bool> jobReturned{false};
  ASSERT_TRUE(worker.Post([&] {
    jobBegan = true;
    released.wait();
    jobReturned = true;
  }));
  ASSERT_TRUE(WaitUntil([&] { return jobBegan.load(); }));

  bool returnedBeforeStopEnded = false;
  std::thread owner([&] {
    worker.Stop();
    returnedBeforeStopEnded = jobReturned;
  });
  release.set_value();
  owner.join();
  EXPECT_TRUE(returnedBeforeStopEnded);

  std::atomic<bool> lateRan{false};
  EXPECT_FALSE(worker.Post([&] { lateRan = true; }));
  worker.Stop();  // twice is harmless
  EXPECT_FALSE(lateRan);
}

// The window's teardown: the port is closed while the worker's status read
// waits on a driver that does not answer, then the worker is joined.
TEST(PollWorker, ClosingThePortEndsAStatusReadThatWaitsOnASilentDriver) {
  PortsFolder ports;
  PtyPair pty;
  sim::SimulatedDriver driver;
  sim::SlaveServer server{driver, pty.Master()};
  DriverLink link;
  ports.Map(1, pty.SlavePath());
  ASSERT_NE(link.OpenPort(1, 9600, Parity::None2), 0);
  driver.SetFault(sim::Fault::Of(sim::FaultKind::NoAnswer));

  auto worker = std::make_unique<PollWorker>();
  std::atomic<ModbusResult> result{ResultSuccess};
  std::atomic<bool> done{false};
  ASSERT_TRUE(worker->Post([&] {
    StatusBlock status{};
    result = link.ReadStatus(1, status);
    done = true;
  }));
  ASSERT_TRUE(WaitUntil([&] { return driver.RequestCount() == 1; }));
  link.ClosePort();
  worker.reset();
  EXPECT_TRUE(done);
  EXPECT_EQ(result, ResultTimeout);
}

}  // namespace
