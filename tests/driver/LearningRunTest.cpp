// The learning run against the simulated driver on a pseudo-terminal: each
// way a run ends, what it writes last, and a stop from outside that ends it
// without a report. Runs under the thread sanitizer too.
#include "driver/LearningRun.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <optional>

#include "LearningDriver.h"
#include "PtyPair.h"
#include "sim/SimulatedDriver.h"
#include "sim/SlaveServer.h"

namespace {

using namespace std::chrono_literals;
using End = LearningReport::End;

std::vector<uint8_t> FrameBytes(const ::Frame& frame) {
  return std::vector<uint8_t>(frame.bytes.begin(), frame.bytes.begin() + frame.length);
}

// The write of the learning block's first four words.
std::vector<uint8_t> HeadWrite(const uint16_t* words) {
  ::Frame frame;
  BuildWriteMultipleRequest(1, 0x00E0, words, 4, frame);
  return FrameBytes(frame);
}

// The simulated driver on COM1 and an open link to it.
struct Line {
  explicit Line(sim::DriverOptions options) : driver(std::move(options)) {
    ports.Map(1, pty.SlavePath());
    opened = link.OpenPort(1, 9600, Parity::None2) != 0;
  }

  PortsFolder ports;
  PtyPair pty;
  sim::SimulatedDriver driver;
  sim::SlaveServer server{driver, pty.Master()};
  DriverLink link;
  bool opened = false;
};

// Collects the reports of a run.
class Reports {
 public:
  LearningRun::Finished Callback() {
    return [this](const LearningReport& report) {
      std::lock_guard lock(mutex_);
      reports_.push_back(report);
      arrived_.notify_all();
    };
  }
  std::optional<LearningReport> Wait() {
    std::unique_lock lock(mutex_);
    if (!arrived_.wait_for(lock, 10s, [this] { return !reports_.empty(); })) return std::nullopt;
    return reports_.front();
  }
  size_t Count() {
    std::lock_guard lock(mutex_);
    return reports_.size();
  }

 private:
  std::mutex mutex_;
  std::condition_variable arrived_;
  std::vector<LearningReport> reports_;
};

TEST(LearningRun, EndsAsTheDriverReportsAndWritesBackTheLastPoll) {
  struct Case {
    const char* name;
    sim::DriverOptions options;
    std::optional<sim::Fault> fault;
    bool runningAlready;  // the driver answers the start with "busy"
    End end;
    ModbusResult result;
  };
  const Case cases[] = {
      {"success", LearningDriver(sim::LearningOutcome::Success), std::nullopt, false, End::Succeeded, ResultSuccess},
      {"failure", LearningDriver(sim::LearningOutcome::Failure), std::nullopt, false, End::Failed, ResultSuccess},
      {"abnormal stop", LearningDriver(sim::LearningOutcome::AbnormalStop), std::nullopt, false, End::AbnormalStop,
       ResultSuccess},
      {"busy", LearningDriver(sim::LearningOutcome::Success), std::nullopt, true, End::Succeeded, ResultSuccess},
      {"refused", LearningDriver(sim::LearningOutcome::Success), sim::Fault::ExceptionCode(0x02, 1), false,
       End::StartRefused, 0x02},
  };
  const uint16_t start[4] = {0, 1, 0, 0};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Line line(c.options);
    ASSERT_TRUE(line.opened);
    if (c.runningAlready) {
      ASSERT_EQ(line.link.WriteLearningBlock(1, LearningBlock{{0, 1}}), ResultSuccess);
    }
    if (c.fault) line.driver.SetFault(*c.fault);
    const uint64_t before = line.driver.RequestCount();

    LearningRun run;
    Reports reports;
    ASSERT_TRUE(run.Start(line.link, 1, reports.Callback()));
    const std::optional<LearningReport> report = reports.Wait();
    run.Join();
    ASSERT_TRUE(report);
    EXPECT_EQ(reports.Count(), 1u);
    EXPECT_EQ(report->end, c.end);
    EXPECT_EQ(report->result, c.result);
    if (c.end == End::StartRefused) {
      EXPECT_EQ(line.driver.RequestCount(), before + 1) << "nothing after a refused start";
      EXPECT_EQ(line.driver.LastRequest(), HeadWrite(start));
      continue;
    }
    EXPECT_EQ(line.driver.LastRequest(), HeadWrite(report->last.words)) << "the final write";
    if (c.end == End::Succeeded) {
      EXPECT_EQ(std::vector<uint16_t>(report->last.words + 5, report->last.words + 11),
                (std::vector<uint16_t>{0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC}));
    }
  }
}

TEST(LearningRun, PollsElevenRegistersUntilStoppedThenWritesBackQuietly) {
  const uint16_t start[4] = {0, 1, 0, 0};
  for (const bool afterPolls : {false, true}) {
    SCOPED_TRACE(afterPolls ? "stopped after polls" : "stopped at once");
    Line line(LearningDriver(sim::LearningOutcome::Success, std::chrono::hours(24)));
    ASSERT_TRUE(line.opened);
    LearningRun run;
    Reports reports;
    ASSERT_TRUE(run.Start(line.link, 1, reports.Callback()));
    EXPECT_FALSE(run.Start(line.link, 1, reports.Callback())) << "one worker at a time";
    if (afterPolls) {
      ::Frame poll = BuildReadRequest(1, 0x00E0, 11);
      ASSERT_TRUE(WaitUntil([&] { return line.driver.LastRequest() == FrameBytes(poll); }, 5s));
      ASSERT_TRUE(WaitUntil([&] { return line.driver.RequestCount() >= 3; }, 5s));
    }
    run.RequestStop();
    run.Join();
    EXPECT_FALSE(run.Active());
    EXPECT_EQ(reports.Count(), 0u) << "a stopped run reports nothing";
    if (afterPolls) {
      // Run flag 1 and the driver's state while it aligns the rotor.
      const uint16_t polled[4] = {0, 1, 1, 0};
      EXPECT_EQ(line.driver.LastRequest(), HeadWrite(polled));
    } else {
      EXPECT_EQ(line.driver.LastRequest(), HeadWrite(start));
      EXPECT_EQ(line.driver.RequestCount(), 2u) << "the start and the final write, no poll";
    }
  }
}

TEST(LearningRun, PortClosedDuringTheRunEndsItWithTheLinkResult) {
  Line line(LearningDriver(sim::LearningOutcome::Success, std::chrono::hours(24)));
  ASSERT_TRUE(line.opened);
  LearningRun run;
  Reports reports;
  ASSERT_TRUE(run.Start(line.link, 1, reports.Callback()));
  ASSERT_TRUE(WaitUntil([&] { return line.driver.RequestCount() >= 2; }, 5s));
  line.link.ClosePort();
  const std::optional<LearningReport> report = reports.Wait();
  run.Join();
  ASSERT_TRUE(report);
  EXPECT_EQ(report->end, End::PollFailed);
  // Closed between polls, or under one that was waiting for its answer.
  EXPECT_TRUE(report->result == ResultPortNotOpen || report->result == ResultTimeout) << int{report->result};
}

}  // namespace
