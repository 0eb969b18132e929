// The capture on a pseudo-terminal against the simulated driver timed like
// a real line at 115200 bit/s: every read lands in the recording in time order, only the planned
// registers go on the line, a step test sends its command and its stop, and
// a stop asked for ends the capture.
#include <gtest/gtest.h>

#include <future>
#include <vector>

#include "PtyPair.h"
#include "fields/StatusTexts.h"
#include "recording/Capture.h"
#include "recording/CommandMarks.h"
#include "recording/ThinnedSamples.h"
#include "sim/SimulatedDriver.h"
#include "sim/SlaveServer.h"

namespace {

using namespace std::chrono_literals;
using recording::Capture;
using recording::CaptureReport;
using recording::CaptureRequest;

class CaptureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(link.OpenDevice(pty.SlavePath(), 115200, Parity::None2), 0);
    store.Restart();
    recording::MarkWrites(link, store);
  }
  void TearDown() override { recording::StopMarkingWrites(link); }

  // Runs a capture to its end; the report.
  CaptureReport Run(CaptureRequest request) {
    std::promise<CaptureReport> ended;
    std::future<CaptureReport> report = ended.get_future();
    EXPECT_TRUE(capture.Start(link, store, std::move(request),
                              [&ended](const CaptureReport& r) { ended.set_value(r); }));
    EXPECT_EQ(report.wait_for(30s), std::future_status::ready);
    capture.Join();
    return report.get();
  }

  std::vector<recording::Sample> All() const {
    std::vector<recording::Sample> all(store.End());
    all.resize(store.Copy(0, all).count);
    return all;
  }

  std::vector<std::string> MarkTexts() const {
    std::vector<std::string> texts;
    for (const recording::Mark& mark : store.Marks(0)) texts.push_back(recording::MarkText(mark));
    return texts;
  }

  PtyPair pty;
  sim::SimulatedDriver driver{sim::DriverOptions{.learned = true}};
  sim::SlaveServer server{driver, pty.Master(),
                         sim::LineOptions{.settings = {115200, Parity::None2}, .wire = true}};
  DriverLink link;
  recording::StatusRecording store{4096};
  Capture capture;
};

TEST_F(CaptureTest, EveryReadLandsInTheRecordingInTimeOrder) {
  const uint64_t requests = driver.RequestCount();
  CaptureRequest request;
  request.duration = 500ms;
  const CaptureReport report = Run(request);
  const std::vector<recording::Sample> samples = All();
  ASSERT_GT(report.totals.readings, 10u);
  EXPECT_EQ(report.totals.failed, 0u);
  EXPECT_EQ(samples.size(), report.totals.readings) << "none lost";
  EXPECT_EQ(driver.RequestCount() - requests, report.totals.readings) << "one request per sample, back to back";
  for (size_t i = 1; i < samples.size(); ++i) ASSERT_LT(samples[i - 1].time, samples[i].time) << i;
  EXPECT_EQ(samples.back().read, recording::WholeBlock);
}

TEST_F(CaptureTest, ReadsOnlyTheRegistersOfSeriesThatLieClose) {
  const std::vector<size_t> pwmAndCurrent = {0, 1};
  const recording::CapturePlan plan = recording::PlanFor(pwmAndCurrent);
  EXPECT_EQ(plan.first, 0);
  EXPECT_EQ(plan.count, 2);
  const std::vector<size_t> currentAndSpeed = {1, 15};  // speed's range flag lies at the block's end
  EXPECT_EQ(recording::PlanFor(currentAndSpeed).count, recording::StatusRegisterCount);

  CaptureRequest request;
  request.duration = 200ms;
  request.plan = plan;
  Run(request);
  const std::vector<uint8_t> last = driver.LastRequest();
  ASSERT_EQ(last.size(), 8u);
  EXPECT_EQ((last[4] << 8) | last[5], 2) << "two registers asked for";
  const std::vector<recording::Sample> samples = All();
  ASSERT_FALSE(samples.empty());
  EXPECT_TRUE(recording::ValueOf(samples.back(), 1));
  EXPECT_FALSE(recording::ValueOf(samples.back(), 4)) << "IN1 was not read";
}

TEST_F(CaptureTest, StepTestSendsItsCommandAfterTheLeadAndItsStopAtTheEnd) {
  CaptureRequest request;
  request.duration = 400ms;
  request.step = recording::StepCommand{.kind = recording::StepCommand::Kind::Frequency,
                                        .frequencyTenths = 500,
                                        .stopMode = 1};
  const CaptureReport report = Run(request);
  EXPECT_TRUE(report.commandSent);
  EXPECT_EQ(report.commandResult, ResultSuccess);
  EXPECT_EQ(report.stopResult, ResultSuccess);
  EXPECT_EQ(MarkTexts(), (std::vector<std::string>{"频率运行 50.0Hz", "停止 紧急停止"}));
  ASSERT_TRUE(report.run);
  EXPECT_EQ(recording::StepText(report.run->command), "频率运行 50.0Hz");
  ASSERT_FALSE(report.run->samples.empty());
  // The run's clock starts at the command, half a second in.
  EXPECT_LT(report.run->samples.front().time, -400000);
  EXPECT_GE(report.run->samples.back().time, 0);
  EXPECT_EQ(driver.Register(RegisterMap::FrequencyCommand), 500);
}

// More reads than the run's bound: the run is thinned, not cut short, so it
// still reaches the end of the test.
TEST_F(CaptureTest, AStepRunBeyondItsBoundIsThinnedAndSpansTheWholeTest) {
  CaptureRequest request;
  request.duration = 400ms;
  request.runSamples = 16;
  request.step = recording::StepCommand{.frequencyTenths = 100};
  const CaptureReport report = Run(request);
  ASSERT_TRUE(report.run);
  ASSERT_GT(report.totals.readings, 2 * request.runSamples) << "the line must outpace the bound";
  EXPECT_LE(report.run->samples.size(), request.runSamples);
  EXPECT_GT(report.run->stride, 1u);
  EXPECT_LT(report.run->samples.front().time, -400000);
  EXPECT_GE(report.run->samples.back().time, 300000) << "the run ends with the test, not at its bound";
}

// Thinning by table: the bound holds, the first and the newest reads stay
// (to within a stride), and gaps survive.
TEST(ThinnedSamples, KeepsItsBoundAndSpansEverythingAdded) {
  struct Case {
    size_t bound, added, gapEvery;  // gapEvery 0: no gaps
    size_t wantStride;
  };
  const Case cases[] = {{8, 8, 0, 1}, {8, 9, 0, 2}, {10, 1000, 0, 128}, {60000, 200000, 0, 4}, {16, 400, 50, 64}};
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "bound " << c.bound << ", added " << c.added);
    recording::ThinnedSamples run(c.bound);
    size_t gaps = 0;
    for (size_t i = 0; i < c.added; ++i) {
      const bool gap = c.gapEvery != 0 && i % c.gapEvery == c.gapEvery - 1;
      gaps += gap;
      run.Add({static_cast<recording::Micros>(i), StatusBlock{}, gap ? 0u : recording::WholeBlock});
    }
    const std::vector<recording::Sample>& kept = run.Samples();
    EXPECT_LE(kept.size(), c.bound);
    EXPECT_EQ(run.Stride(), c.wantStride);
    ASSERT_FALSE(kept.empty());
    EXPECT_LT(static_cast<size_t>(kept.front().time), run.Stride());
    EXPECT_GE(static_cast<size_t>(kept.back().time) + run.Stride(), c.added);
    size_t keptGaps = 0;
    for (const recording::Sample& sample : kept) keptGaps += recording::IsGap(sample);
    EXPECT_EQ(keptGaps, gaps) << "gaps lie further apart than a stride here";
  }
}

TEST_F(CaptureTest, AStopEndsACaptureWithoutALimit) {
  std::promise<CaptureReport> ended;
  std::future<CaptureReport> report = ended.get_future();
  ASSERT_TRUE(capture.Start(link, store, {}, [&ended](const CaptureReport& r) { ended.set_value(r); }));
  const uint64_t before = driver.RequestCount();
  ASSERT_TRUE(WaitUntil([&] { return driver.RequestCount() >= before + 20; }));
  capture.RequestStop();
  ASSERT_EQ(report.wait_for(10s), std::future_status::ready);
  EXPECT_EQ(report.get().totals.end, recording::LoopEnd::Stopped);
  capture.Join();
  EXPECT_FALSE(capture.Running());
}

}  // namespace
