// The register operations against the simulated driver: every block read
// and written through the link as the tool does it, and the driver's faults
// as the link reports them.
#include <gtest/gtest.h>

#include <cstring>

#include "LinkOnSimulator.h"
#include "driver/DriverLink.h"

namespace {

using namespace std::chrono_literals;

using DriverWithSimulator = LinkOnSimulator<DriverLink>;

TEST_F(DriverWithSimulator, IdentityAndStatusReadAsTheDriverHoldsThem) {
  DeviceInfoBlock info{};
  ASSERT_EQ(link.ReadDeviceInfo(1, info), ResultSuccess);
  EXPECT_EQ(info.version, driver.Register(0x0001));
  EXPECT_EQ(info.pwmResolution, driver.Register(0x000A));
  EXPECT_EQ(static_cast<uint8_t>(info.model[0]), driver.Register(0x0002) >> 8);
  EXPECT_EQ(static_cast<uint8_t>(info.model[1]), driver.Register(0x0002) & 0xFF);
  EXPECT_EQ(static_cast<uint8_t>(info.model[15]), driver.Register(0x0009) & 0xFF);

  StatusBlock status{};
  status.motorSpeed = 0x1234;
  ASSERT_EQ(link.ReadStatus(1, status), ResultSuccess);
  EXPECT_EQ(status.errorState, driver.Register(0x0033));
  EXPECT_EQ(status.motorSpeed, driver.Register(0x0034));
}

TEST_F(DriverWithSimulator, IdentificationTextSpansBothAnswers) {
  std::string text;
  ASSERT_EQ(link.ReadDeviceIdentificationText(1, text), ResultSuccess);
  EXPECT_EQ(text.rfind("公司名称:", 0), 0u) << text;
  EXPECT_NE(text.find("\r\n用户应用名称:"), std::string::npos) << text;
  EXPECT_NE(text.find("\r\n扩展描述:"), std::string::npos) << text;
}

TEST_F(DriverWithSimulator, EveryWritableBlockReadsBackAsWritten) {
  const RampBlock ramp{3, 7, 65535, 5000};
  ASSERT_EQ(link.WriteRamp(1, ramp), ResultSuccess);
  RampBlock rampBack{};
  ASSERT_EQ(link.ReadRamp(1, rampBack), ResultSuccess);
  EXPECT_EQ(std::memcmp(&ramp, &rampBack, sizeof ramp), 0);

  PidBlock pid{1.0f, -2.5f, 0.125f, 3.0f, 0.0f, 1e-3f, 100.0f, 0.5f, -0.0f};
  ASSERT_EQ(link.WritePid(1, pid), ResultSuccess);
  EXPECT_EQ(driver.Register(0x00BA), 0x3F80);  // 1.0f, high word in the lower register
  EXPECT_EQ(driver.Register(0x00BB), 0x0000);
  PidBlock pidBack{};
  ASSERT_EQ(link.ReadPid(1, pidBack), ResultSuccess);
  EXPECT_EQ(std::memcmp(&pid, &pidBack, sizeof pid), 0);

  SystemParamBlock system{};
  ASSERT_EQ(link.ReadSystemParams(1, system), ResultSuccess);
  system.pulseRatio = 2.5f;
  system.analogGain = -1.0f;
  system.serialBaudHigh = 0x0001;
  system.serialBaudLow = 0xC200;
  system.analogOffset = -5;
  ASSERT_EQ(link.WriteSystemParams(1, system), ResultSuccess);
  EXPECT_EQ(driver.Register(0x008C), 0x4020);
  EXPECT_EQ(driver.Register(0x0090), 0x0001);
  EXPECT_EQ(driver.Register(0x0091), 0xC200);
  SystemParamBlock systemBack{};
  ASSERT_EQ(link.ReadSystemParams(1, systemBack), ResultSuccess);
  EXPECT_EQ(systemBack.pulseRatio, 2.5f);
  EXPECT_EQ(systemBack.analogGain, -1.0f);
  EXPECT_EQ(systemBack.analogOffset, -5);

  ReciprocateBlock reciprocate{};
  ASSERT_EQ(link.ReadReciprocate(1, reciprocate), ResultSuccess);
  reciprocate.totalStroke = 0xFFFFFFFFu;
  ASSERT_EQ(link.WriteReciprocate(1, reciprocate), ResultSuccess);
  EXPECT_EQ(driver.Register(0x00A2), 0xFFFF);
  ReciprocateBlock reciprocateBack{};
  ASSERT_EQ(link.ReadReciprocate(1, reciprocateBack), ResultSuccess);
  EXPECT_EQ(reciprocateBack.totalStroke, 0xFFFFFFFFu);

  const PresetSpeedBlock preset{1, 0, 1234, 4321};
  ASSERT_EQ(link.WritePresetSpeed(1, preset), ResultSuccess);
  PresetSpeedBlock presetBack{};
  ASSERT_EQ(link.ReadPresetSpeed(1, presetBack), ResultSuccess);
  EXPECT_EQ(std::memcmp(&preset, &presetBack, sizeof preset), 0);

  MotorParamBlock motor{};
  ASSERT_EQ(link.ReadMotorParams(1, motor), ResultSuccess);
  motor.phaseOrder[0] = 0x1A2B;
  motor.gearRatio = 64;
  ASSERT_EQ(link.WriteMotorParams(1, motor), ResultSuccess);
  MotorParamBlock motorBack{};
  ASSERT_EQ(link.ReadMotorParams(1, motorBack), ResultSuccess);
  EXPECT_EQ(motorBack.phaseOrder[0], 0x1A2B);
  EXPECT_EQ(motorBack.gearRatio, 64);
}

TEST_F(DriverWithSimulator, CommandsReachTheirRegisters) {
  ASSERT_EQ(link.WritePositionMove(1, 5000, -70000, 1), ResultSuccess);
  EXPECT_EQ(driver.Register(0x0044), 5000);
  EXPECT_EQ(driver.Register(0x0045), 1);
  EXPECT_EQ(driver.Register(0x0046), 0xFFFE);
  EXPECT_EQ(driver.Register(0x0047), 0xEE90);
  EXPECT_EQ(link.WriteStopCommand(1, 1), ResultSuccess);
  EXPECT_EQ(link.WriteSpeedCommand(1, 0xFC18, 0), ResultSuccess);
  EXPECT_EQ(link.WriteStopCommand(1, 2), ResultSuccess);
}

TEST_F(DriverWithSimulator, DriverRulesArriveAsTheirOwnCodes) {
  driver.SetRegister(0x0075, 0);  // motor not learned
  EXPECT_EQ(link.WriteSpeedCommand(1, 100, 1), 0x60);
  EXPECT_EQ(ResultText(0x60), "请先对电机进行学习");

  driver.SetRegister(0x0094, 1);  // parameters locked while controlled over RS-485
  EXPECT_EQ(link.WriteRamp(1, RampBlock{1, 1, 1, 1}), 0x40);
}

TEST_F(DriverWithSimulator, InjectedFaultsEndAsTheLinkReportsThem) {
  struct Case {
    sim::Fault fault;
    ModbusResult expected;
    bool answerArrivesLate = false;
  };
  const Case cases[] = {
      {sim::Fault::Of(sim::FaultKind::NoAnswer, 1), ResultTimeout},
      {sim::Fault::Of(sim::FaultKind::BadCrc, 1), ResultTimeout},
      {sim::Fault::Of(sim::FaultKind::WrongAddress, 1), ResultTimeout},
      {sim::Fault::Of(sim::FaultKind::Garbage, 1), ResultSuccess},  // noise before the answer does not lose it
      {sim::Fault::Of(sim::FaultKind::OverLong, 1), ResultTimeout},
      {sim::Fault::Of(sim::FaultKind::LyingByteCount, 1), ResultTimeout},
      {sim::Fault::Delayed(600ms, 1), ResultTimeout, true},
      {sim::Fault::ExceptionCode(0x06, 1), 0x06},
      {sim::Fault::InPieces(3ms, 1), ResultSuccess},
      {sim::Fault::Delayed(100ms, 1), ResultSuccess},
  };
  for (const Case& c : cases) {
    driver.SetFault(c.fault);
    RampBlock ramp{};
    EXPECT_EQ(link.ReadRamp(1, ramp), c.expected) << sim::FaultName(c.fault.kind);
    if (c.answerArrivesLate) {
      // The answer comes after the time-out; let it land before the next
      // request, or that request would take it for its own.
      ASSERT_TRUE(WaitUntil([&] { return !link.LastReceivedFrame().empty(); }));
    }
    // Whatever the fault left on the line, the next transaction is clean.
    ASSERT_TRUE(WaitUntil([&] { return driver.CurrentFault().kind == sim::FaultKind::None; }));
    EXPECT_EQ(link.ReadRamp(1, ramp), ResultSuccess) << sim::FaultName(c.fault.kind);
  }
}

}  // namespace
