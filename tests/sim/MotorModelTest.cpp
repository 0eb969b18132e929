// The motor behind the status block, on a manual clock: what the status
// registers show after PWM, frequency and position commands, the three stop
// modes, and the stall and Hall faults.
#include <gtest/gtest.h>

#include <cmath>

#include "SimTestSupport.h"

using namespace simtest;
using std::chrono::milliseconds;

namespace {

// Status offsets.
constexpr uint16_t kPwm = 0, kCurrent = 1, kFrequency = 2, kComplete = 3, kCompletionTime = 6, kError = 19, kSpeed = 20, kRange = 21;

sim::DriverOptions LearnedMotor() {
  sim::DriverOptions options;
  options.learned = true;
  return options;
}

uint32_t CompletionMs(ClockedDriver& d) {
  return (static_cast<uint32_t>(d.Status(kCompletionTime)) << 16) | d.Status(kCompletionTime + 1);
}

}  // namespace

TEST(MotorModel, PwmDutyRisesOverTheRiseBufferAndTheSpeedFollows) {
  ClockedDriver d(LearnedMotor());  // rise and fall buffers 0.5 s
  ASSERT_EQ(d.Send(WriteOne(1, 0x0042, 500)), 0);
  d.clock.Advance(milliseconds(125));
  EXPECT_NEAR(d.SignedStatus(kPwm), 250, 3);
  d.clock.Advance(milliseconds(175));
  EXPECT_EQ(d.SignedStatus(kPwm), 500);
  EXPECT_GT(d.Status(kCurrent), 0);

  d.clock.Advance(milliseconds(3000));
  // Half duty under the default load reaches 0.5 * 5000 Hz * (1 - 0.3 * 0.2).
  EXPECT_NEAR(d.SignedStatus(kFrequency), 23500, 10);
  EXPECT_NEAR(d.Status(kSpeed), 2350 * 20 / 8, 2) << "8 poles";
  EXPECT_EQ(d.Status(kRange), 0);
  const int32_t before = d.Position();
  d.clock.Advance(milliseconds(1000));
  EXPECT_NEAR(d.Position() - before, 2350, 2);
}

TEST(MotorModel, TheThreeStopModesStopDifferently) {
  auto running = [] {
    auto d = std::make_unique<ClockedDriver>(LearnedMotor());
    EXPECT_EQ(d->Send(WriteOne(1, 0x0042, 600)), 0);
    d->clock.Advance(milliseconds(3000));
    return d;
  };
  {
    auto d = running();
    ASSERT_EQ(d->Send(WriteOne(1, 0x0040, 0)), 0);  // normal: down the fall buffer
    d->clock.Advance(milliseconds(100));
    EXPECT_NEAR(d->SignedStatus(kPwm), 400, 3);
    EXPECT_GT(d->SignedStatus(kFrequency), 0);
    d->clock.Advance(milliseconds(3000));
    EXPECT_EQ(d->Status(kPwm), 0);
    EXPECT_EQ(d->Status(kFrequency), 0);
    EXPECT_EQ(d->Status(kCurrent), 0);
  }
  {
    auto d = running();
    ASSERT_EQ(d->Send(WriteOne(1, 0x0040, 1)), 0);  // emergency: at once
    const int32_t where = d->Position();
    EXPECT_EQ(d->Status(kFrequency), 0);
    EXPECT_EQ(d->Status(kPwm), 0);
    d->clock.Advance(milliseconds(500));
    EXPECT_EQ(d->Position(), where);
  }
  {
    auto d = running();
    const int16_t speed = d->SignedStatus(kFrequency);
    ASSERT_EQ(d->Send(WriteOne(1, 0x0040, 2)), 0);  // free: duty off, coasting
    d->clock.Advance(milliseconds(200));
    EXPECT_EQ(d->Status(kPwm), 0);
    EXPECT_GT(d->SignedStatus(kFrequency), 0);
    EXPECT_LT(d->SignedStatus(kFrequency), speed);
    d->clock.Advance(milliseconds(10000));
    EXPECT_EQ(d->Status(kFrequency), 0);
  }
}

TEST(MotorModel, FrequencyCommandFollowsTheAccelerationRamp) {
  ClockedDriver d(LearnedMotor());  // 500.0 Hz/s both ways
  ASSERT_EQ(d.Send(WriteOne(1, 0x0043, 10000)), 0);  // 1000.0 Hz
  d.clock.Advance(milliseconds(1000));
  EXPECT_NEAR(d.SignedStatus(kFrequency), 5000, 5);
  d.clock.Advance(milliseconds(1500));
  EXPECT_EQ(d.SignedStatus(kFrequency), 10000);
  EXPECT_EQ(d.Status(kError), 0);

  // A faster ramp written while running acts at once.
  ASSERT_EQ(d.Send(WriteMany(1, 0x0050, {5, 5, 20000, 20000})), 0);
  ASSERT_EQ(d.Send(WriteOne(1, 0x0043, 0)), 0);
  d.clock.Advance(milliseconds(250));
  EXPECT_NEAR(d.SignedStatus(kFrequency), 5000, 5);
}

TEST(MotorModel, AnUnreachableFrequencyReportsError4) {
  ClockedDriver d(LearnedMotor());
  d.driver.SetRegister(0x0066, 10000);  // the motor's limit: 1000.0 Hz
  ASSERT_EQ(d.Send(WriteOne(1, 0x0043, 20000)), 0);
  d.clock.Advance(milliseconds(5000));
  EXPECT_EQ(d.SignedStatus(kFrequency), 10000);
  EXPECT_EQ(d.Status(kError), 4);
  ASSERT_EQ(d.Send(WriteOne(1, 0x0043, 5000)), 0);
  EXPECT_EQ(d.Status(kError), 0);
}

TEST(MotorModel, PositionMovesCompleteOnTargetWithTheirTime) {
  ClockedDriver d(LearnedMotor());
  // Absolute 10000 at 1000.0 Hz with 500 Hz/s ramps: 2 s up, 8 s at speed,
  // 2 s down.
  ASSERT_EQ(d.Send(WriteMany(1, 0x0044, {10000, 0, 0, 10000})), 0);
  d.clock.Advance(milliseconds(6000));
  EXPECT_EQ(d.Status(kComplete), 0);
  EXPECT_EQ(d.SignedStatus(kFrequency), 10000);
  d.Run(milliseconds(7000));
  EXPECT_EQ(d.Status(kComplete), 1);
  EXPECT_EQ(d.Position(), 10000);
  EXPECT_NEAR(CompletionMs(d), 12000, 20);
  EXPECT_EQ(d.Status(kFrequency), 0);

  // Relative -2500 from there.
  ASSERT_EQ(d.Send(WriteMany(1, 0x0044, {10000, 1, 0xFFFF, static_cast<uint16_t>(-2500)})), 0);
  EXPECT_EQ(d.Status(kComplete), 0);
  d.Run(milliseconds(8000));
  EXPECT_EQ(d.Position(), 7500);
  EXPECT_EQ(d.Status(kComplete), 1);
}

TEST(MotorModel, FastMovesSwitchFrequencyAndSpeedToCoarseUnits) {
  ClockedDriver d(LearnedMotor());
  d.driver.SetRegister(0x0052, 40000);
  ASSERT_EQ(d.Send(WriteMany(1, 0x0044, {40000, 0, 0x0010, 0})), 0);  // 4000.0 Hz
  d.clock.Advance(milliseconds(3000));
  EXPECT_EQ(d.Status(kRange), 1);
  EXPECT_EQ(d.SignedStatus(kFrequency), 4000) << "1 Hz units";
  EXPECT_EQ(d.Status(kSpeed), 1000) << "10 RPM units: 4000 Hz on 8 poles is 10000 RPM";
}

TEST(MotorModel, PhaseCurrentFollowsTheLoad) {
  ClockedDriver light(LearnedMotor());
  ClockedDriver heavy(LearnedMotor());
  heavy.driver.SetLoad(0.9);
  for (ClockedDriver* d : {&light, &heavy}) {
    ASSERT_EQ(d->Send(WriteOne(1, 0x0042, 600)), 0);
    d->clock.Advance(milliseconds(4000));
  }
  EXPECT_GT(heavy.Status(kCurrent), light.Status(kCurrent) + 100);
  EXPECT_LT(heavy.SignedStatus(kFrequency), light.SignedStatus(kFrequency));
  EXPECT_LE(heavy.Status(kCurrent), 1000) << "never above the maximum load current";
}

TEST(MotorModel, AStalledRotorStopsTheDriveAfterTheStallTime) {
  ClockedDriver d(LearnedMotor());  // stall stop time 2.0 s
  d.driver.SetMotorFault(sim::MotorFault::Stall);
  ASSERT_EQ(d.Send(WriteOne(1, 0x0042, 500)), 0);
  d.clock.Advance(milliseconds(1000));
  EXPECT_EQ(d.Status(kFrequency), 0);
  EXPECT_EQ(d.Status(kCurrent), 1000) << "at the load limit";
  EXPECT_EQ(d.Status(kError), 0);
  d.clock.Advance(milliseconds(1100));
  EXPECT_EQ(d.Status(kError), 2);
  EXPECT_EQ(d.Status(kPwm), 0);
  EXPECT_EQ(d.Status(kCurrent), 0);

  // Freed, the next command runs again and clears the error.
  d.driver.SetMotorFault(sim::MotorFault::None);
  ASSERT_EQ(d.Send(WriteOne(1, 0x0042, 500)), 0);
  d.clock.Advance(milliseconds(1000));
  EXPECT_EQ(d.Status(kError), 0);
  EXPECT_GT(d.SignedStatus(kFrequency), 0);
}

TEST(MotorModel, WithoutHallSignalsOrPolesTheSpeedIsUnknown) {
  ClockedDriver d(LearnedMotor());
  EXPECT_EQ(d.Status(kSpeed), 0);
  d.driver.SetMotorFault(sim::MotorFault::HallError);
  EXPECT_EQ(d.Status(kSpeed), 0xFFFF);
  ASSERT_EQ(d.Send(WriteOne(1, 0x0042, 500)), 0);
  d.clock.Advance(milliseconds(500));
  EXPECT_EQ(d.Status(kError), 3);
  EXPECT_EQ(d.Status(kFrequency), 0);

  ClockedDriver noPoles(LearnedMotor());
  noPoles.driver.SetRegister(0x0073, 0);
  EXPECT_EQ(noPoles.Status(kSpeed), 0xFFFF);
}
