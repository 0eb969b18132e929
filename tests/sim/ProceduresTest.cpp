// The driver's timed procedures on a manual clock: the learning run as the
// tool's learning worker drives it, and the reciprocation operations as the
// stroke watch sees them.
#include <gtest/gtest.h>

#include "SimTestSupport.h"

using namespace simtest;
using std::chrono::milliseconds;

namespace {

const Bytes kStartLearning = WriteMany(1, 0x00E0, {0, 1, 0, 0});

struct LearningBlock {
  uint16_t runFlag;
  uint16_t state;
  std::vector<uint16_t> results;
};

// The poll of the learning worker: 11 registers from 0x00E0.
LearningBlock Poll(ClockedDriver& d) {
  const std::vector<uint16_t> words = Words(d.driver.Respond(Read(1, 0x00E0, 11)));
  EXPECT_EQ(words.size(), 11u);
  if (words.size() != 11) return {};
  return {words[1], words[2], std::vector<uint16_t>(words.begin() + 5, words.end())};
}

sim::DriverOptions Learning(sim::LearningOutcome outcome, bool learned = false) {
  sim::DriverOptions options;
  options.learningDuration = milliseconds(2000);
  options.learningOutcome = outcome;
  options.learned = learned;
  return options;
}

sim::DriverOptions Learned() {
  sim::DriverOptions options;
  options.learned = true;
  options.strokeDuration = milliseconds(4000);
  return options;
}

}  // namespace

TEST(LearningRun, RunsThroughItsStatesToSuccessAndLearnsThePhaseOrder) {
  ClockedDriver d(Learning(sim::LearningOutcome::Success));
  ASSERT_EQ(d.Send(kStartLearning), 0);
  LearningBlock block = Poll(d);
  EXPECT_EQ(block.runFlag, 1);
  EXPECT_EQ(block.state, 1);

  d.clock.Advance(milliseconds(1200));
  block = Poll(d);
  EXPECT_EQ(block.runFlag, 1);
  EXPECT_EQ(block.state, 2);

  d.clock.Advance(milliseconds(900));
  block = Poll(d);
  EXPECT_EQ(block.state, 3);
  EXPECT_EQ(block.results, (std::vector<uint16_t>{0x01, 0x05, 0x04, 0x06, 0x02, 0x03}));
  // The motor parameters now carry the result.
  const std::vector<uint16_t> params = Words(d.driver.Respond(Read(1, 0x0060, 23)));
  EXPECT_EQ(params[13], 0x0105);
  EXPECT_EQ(params[14], 0x0406);
  EXPECT_EQ(params[15], 0x0203);
  EXPECT_EQ(params[21] & 1, 1);
  EXPECT_EQ(d.Status(19), 0) << "no longer 未学习";

  // The worker's closing write sends back what it last read; that must not
  // start another run.
  ASSERT_EQ(d.Send(WriteMany(1, 0x00E0, {0, block.runFlag, block.state, 0})), 0);
  d.clock.Advance(milliseconds(100));
  EXPECT_EQ(Poll(d).state, 3);
  EXPECT_EQ(d.Send(WriteOne(1, 0x0042, 100)), 0) << "a learned motor runs";
}

TEST(LearningRun, EndsInFailureOrAbnormalStopAsConfigured) {
  {
    ClockedDriver d(Learning(sim::LearningOutcome::Failure, true));
    ASSERT_EQ(d.Send(kStartLearning), 0);
    d.clock.Advance(milliseconds(2100));
    const LearningBlock block = Poll(d);
    EXPECT_EQ(block.state, 4);
    EXPECT_EQ(block.runFlag, 0);
    EXPECT_EQ(d.driver.Register(0x0075) & 1, 0) << "a failed run leaves the motor not learned";
  }
  {
    ClockedDriver d(Learning(sim::LearningOutcome::AbnormalStop, true));
    ASSERT_EQ(d.Send(kStartLearning), 0);
    d.clock.Advance(milliseconds(1000));
    EXPECT_EQ(Poll(d).runFlag, 1);
    d.clock.Advance(milliseconds(1100));
    const LearningBlock block = Poll(d);
    EXPECT_EQ(block.runFlag, 0);
    EXPECT_NE(block.state, 3);
    EXPECT_NE(block.state, 4);
    EXPECT_EQ(d.driver.Register(0x0075) & 1, 1) << "an aborted run changes nothing";
  }
}

TEST(LearningRun, StopsWithoutResultOnAStopCommandOrAClearedRunFlag) {
  for (const Bytes& stop : {WriteOne(1, 0x0040, 0), WriteMany(1, 0x00E0, {0, 0, 0, 0})}) {
    ClockedDriver d(Learning(sim::LearningOutcome::Success));
    ASSERT_EQ(d.Send(kStartLearning), 0);
    d.clock.Advance(milliseconds(500));
    ASSERT_EQ(d.Send(stop), 0);
    d.clock.Advance(milliseconds(2000));
    const LearningBlock block = Poll(d);
    EXPECT_EQ(block.runFlag, 0);
    EXPECT_EQ(block.state, 0);
    EXPECT_EQ(d.driver.Register(0x0075) & 1, 0);
  }
}

TEST(LearningRun, StartIsRefusedWhileTheMotorRunsOrWhenLearningIsDisabledAndBlocksMotion) {
  {
    ClockedDriver d(Learning(sim::LearningOutcome::Success, true));
    ASSERT_EQ(d.Send(WriteOne(1, 0x0042, 300)), 0);
    d.clock.Advance(milliseconds(100));
    EXPECT_EQ(d.Send(kStartLearning), 0x06);
    EXPECT_EQ(Poll(d).runFlag, 0);
  }
  {
    ClockedDriver d(Learning(sim::LearningOutcome::Success));
    d.driver.SetRegister(0x0076, 1);
    EXPECT_EQ(d.Send(kStartLearning), 0x40);
  }
  {
    // Nor can the motor be driven while it learns.
    ClockedDriver d(Learning(sim::LearningOutcome::Success, true));
    ASSERT_EQ(d.Send(kStartLearning), 0);
    EXPECT_EQ(d.Send(WriteOne(1, 0x0042, 100)), 0x06);
    EXPECT_EQ(d.Send(WriteOne(1, 0x00AA, 4)), 0x06);
  }
  {
    // A second start during a run: busy with that run, which goes on to the
    // phase order the driver was set up with.
    sim::DriverOptions options = Learning(sim::LearningOutcome::Success);
    options.learnedPhaseOrder = {0x12, 0x34, 0x56, 0x78, 0x9A, 0x1BC};
    ClockedDriver d(options);
    ASSERT_EQ(d.Send(kStartLearning), 0);
    d.clock.Advance(milliseconds(1500));
    ASSERT_EQ(d.Send(kStartLearning), 0x06);
    d.clock.Advance(milliseconds(600));
    const LearningBlock block = Poll(d);
    EXPECT_EQ(block.state, 3);
    EXPECT_EQ(block.results, (std::vector<uint16_t>{0x12, 0x34, 0x56, 0x78, 0x9A, 0x1BC}));
  }
}

TEST(Reciprocation, StrokeMeasurementHoldsItsCommandThenReportsTheTravel) {
  ClockedDriver d(Learned());
  EXPECT_EQ(d.Status(12), 1) << "SQ1 not reached: an active-low input reads high";
  EXPECT_EQ(d.Status(13), 1);
  ASSERT_EQ(d.Send(WriteOne(1, 0x00AA, 4)), 0);

  d.clock.Advance(milliseconds(1000));
  EXPECT_EQ(Words(d.driver.Respond(Read(1, 0x00AA, 1))), std::vector<uint16_t>{4});
  EXPECT_LT(d.Position(), 0) << "first towards SQ1";
  EXPECT_EQ(d.Send(WriteOne(1, 0x0042, 100)), 0x06) << "motion during an operation: busy";

  d.clock.Advance(milliseconds(2000));
  EXPECT_EQ(d.driver.Register(0x00AA), 4);
  EXPECT_GT(d.Position(), -20000) << "then back over the travel towards SQ2";

  d.clock.Advance(milliseconds(1100));
  EXPECT_EQ(d.driver.Register(0x00AA), 0);
  const std::vector<uint16_t> block = Words(d.driver.Respond(Read(1, 0x00A0, 10)));
  EXPECT_EQ((static_cast<uint32_t>(block[2]) << 16) | block[3], 50000u);
  EXPECT_EQ(d.Position(), 30000);
  EXPECT_EQ(d.Status(13), 0) << "standing on SQ2";
  EXPECT_EQ(d.Status(2), 0);
}

TEST(Reciprocation, CancelEndsAnOperationWithoutAStroke) {
  ClockedDriver d(Learned());
  ASSERT_EQ(d.Send(WriteOne(1, 0x00AA, 4)), 0);
  d.clock.Advance(milliseconds(1000));
  ASSERT_EQ(d.Send(WriteOne(1, 0x00AA, 1)), 0);
  EXPECT_EQ(d.driver.Register(0x00AA), 0);
  d.clock.Advance(milliseconds(5000));
  EXPECT_EQ(d.driver.Register(0x00A3), 0) << "no stroke measured";
  EXPECT_EQ(d.Status(2), 0) << "motor stopped";
}

TEST(Reciprocation, ResetRunsToTheLimitSwitchAndThenReadsZero) {
  ClockedDriver d(Learned());
  d.driver.SetRegister(0x00A4, 20000);  // coarse reset speed 2000.0 Hz
  ASSERT_EQ(d.Send(WriteOne(1, 0x00AA, 2)), 0);
  d.clock.Advance(milliseconds(2000));
  EXPECT_EQ(d.driver.Register(0x00AA), 2);
  EXPECT_LT(d.Position(), 0);
  d.Run(milliseconds(20000), milliseconds(250));
  EXPECT_EQ(d.driver.Register(0x00AA), 0);
  EXPECT_EQ(d.Position(), -20000);
  EXPECT_EQ(d.Status(12), 0) << "SQ1 reached";

  // With active-high limits the same switch reads high.
  d.driver.SetRegister(0x0080, 1);
  EXPECT_EQ(d.Status(12), 1);
  EXPECT_EQ(d.Status(13), 0);

  ASSERT_EQ(d.Send(WriteOne(1, 0x00AA, 3)), 0);
  d.Run(milliseconds(40000), milliseconds(250));
  EXPECT_EQ(d.Position(), 30000);
  EXPECT_EQ(d.Status(13), 1);
}
