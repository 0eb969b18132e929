#include "ui/forms/BoxTexts.h"

#include <gtest/gtest.h>

#include <set>

#include "ui/forms/ControlIds.h"

namespace {

using namespace forms;

std::string TextOf(const StatusBlock& status, int controlId) {
  for (const FieldText& field : StatusTexts(status)) {
    if (field.controlId == controlId) return field.text;
  }
  ADD_FAILURE() << "no status field " << controlId;
  return {};
}

StatusBlock Zeroed() { return StatusBlock{}; }

TEST(StatusTexts, EverySeventeenFieldOnceAndOnlyThoseOfTheBox) {
  std::set<int> seen;
  for (const FieldText& field : StatusTexts(Zeroed())) seen.insert(field.controlId);
  EXPECT_EQ(seen.size(), StatusFieldCount);
  EXPECT_EQ(*seen.begin(), ids::OutputPwm);
  EXPECT_EQ(*seen.rbegin(), ids::ErrorState);
}

TEST(StatusTexts, SignedAndUnsignedScaledValues) {
  StatusBlock status = Zeroed();
  status.outputPwm = static_cast<int16_t>(0xFC18);
  status.phaseCurrent = 250;
  status.in1Voltage = 3300;
  status.in2Voltage = static_cast<int16_t>(0xFF38);
  status.differentialVoltage = -1;
  status.inputPwm = 0xFFFF;  // unsigned: 6553.5 %
  status.inputFrequency = -5;
  EXPECT_EQ(TextOf(status, ids::OutputPwm), "-100.0%");
  EXPECT_EQ(TextOf(status, ids::PhaseCurrent), "2.50A");
  EXPECT_EQ(TextOf(status, ids::In1Voltage), "3.300V");
  EXPECT_EQ(TextOf(status, ids::In2Voltage), "-0.200V");
  EXPECT_EQ(TextOf(status, ids::In3Voltage), "0.000V");
  EXPECT_EQ(TextOf(status, ids::DifferentialVoltage), "-0.001V");
  EXPECT_EQ(TextOf(status, ids::InputPwm), "6553.5%");
  EXPECT_EQ(TextOf(status, ids::InputFrequency), "-5Hz");
}

TEST(StatusTexts, RangeFlagChoosesFrequencyAndSpeedUnits) {
  StatusBlock status = Zeroed();
  status.commutationFrequency = 1234;
  status.motorSpeed = 1500;
  EXPECT_EQ(TextOf(status, ids::CommutationFrequency), "123.4Hz");
  EXPECT_EQ(TextOf(status, ids::MotorSpeed), "1500RPM");
  status.rangeFlag = 1;
  EXPECT_EQ(TextOf(status, ids::CommutationFrequency), "1234Hz");
  EXPECT_EQ(TextOf(status, ids::MotorSpeed), "15000RPM");
  status.rangeFlag = 0x8000;  // any value other than 0 is coarse
  EXPECT_EQ(TextOf(status, ids::MotorSpeed), "15000RPM");

  status.rangeFlag = 0;
  status.commutationFrequency = static_cast<int16_t>(0xFF85);
  EXPECT_EQ(TextOf(status, ids::CommutationFrequency), "-12.3Hz");
  status.rangeFlag = 1;
  EXPECT_EQ(TextOf(status, ids::CommutationFrequency), "-123Hz");
}

TEST(StatusTexts, NoSpeedShowsDashWhateverTheRange) {
  StatusBlock status = Zeroed();
  status.motorSpeed = 0xFFFF;
  EXPECT_EQ(TextOf(status, ids::MotorSpeed), "-");
  status.rangeFlag = 1;
  EXPECT_EQ(TextOf(status, ids::MotorSpeed), "-");
  status.motorSpeed = 0xFFFE;  // the largest real value, coarse
  EXPECT_EQ(TextOf(status, ids::MotorSpeed), "655340RPM");
}

TEST(StatusTexts, ThirtyTwoBitValuesTakeTheHighHalfFromTheLowerRegister) {
  StatusBlock status = Zeroed();
  status.positionHigh = 0xFFFF;
  status.positionLow = 0xFFFE;
  status.completionTimeHigh = 0x0001;
  status.completionTimeLow = 0x86A0;
  status.inputPulsesHigh = 0x0001;
  status.inputPulsesLow = 0x0000;
  EXPECT_EQ(TextOf(status, ids::Position), "-2");
  EXPECT_EQ(TextOf(status, ids::CompletionTime), "100.0s");
  EXPECT_EQ(TextOf(status, ids::InputPulses), "65536");

  status.completionTimeHigh = 0xFFFF;  // unsigned: 4294967.295 s
  status.completionTimeLow = 0xFFFF;
  status.positionHigh = 0x8000;
  status.positionLow = 0x0000;
  EXPECT_EQ(TextOf(status, ids::CompletionTime), "4294967.3s");
  EXPECT_EQ(TextOf(status, ids::Position), "-2147483648");
}

TEST(StatusTexts, LevelsCompletionAndErrorTexts) {
  StatusBlock status = Zeroed();
  EXPECT_EQ(TextOf(status, ids::Sq1Level), "低");
  EXPECT_EQ(TextOf(status, ids::CompletionState), "否");
  EXPECT_EQ(TextOf(status, ids::ErrorState), "无");
  status.sq1Level = 0;
  status.sq2Level = 7;
  status.completionState = 0x100;
  status.errorState = 4;
  EXPECT_EQ(TextOf(status, ids::Sq1Level), "低");
  EXPECT_EQ(TextOf(status, ids::Sq2Level), "高");
  EXPECT_EQ(TextOf(status, ids::CompletionState), "是");
  EXPECT_EQ(TextOf(status, ids::ErrorState), "达不到目标速度");
  status.errorState = 7;
  EXPECT_EQ(TextOf(status, ids::ErrorState), "未知错误");
  EXPECT_STREQ(ErrorStateText(5), "未知错误");
}

TEST(StatusTexts, FailureTouchesExactlyTheEightLiveMeasurements) {
  const std::set<int> failing(StatusFailureFields().begin(), StatusFailureFields().end());
  const std::set<int> expected = {ids::OutputPwm,  ids::PhaseCurrent,        ids::In1Voltage, ids::In2Voltage,
                                  ids::DifferentialVoltage, ids::Sq1Level, ids::Sq2Level, ids::CommutationFrequency};
  EXPECT_EQ(failing, expected);
  EXPECT_EQ(failing.count(ids::In3Voltage), 0u);
}

}  // namespace
