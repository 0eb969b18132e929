// Register operations against the test playing the driver on a real
// pseudo-terminal: addresses, counts and the byte order of every block.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <future>
#include <string>
#include <tuple>

#include "PtyPair.h"
#include "WireBytes.h"
#include "driver/DriverLink.h"

namespace {

using namespace std::chrono_literals;

std::vector<uint8_t> ReadAnswer(uint8_t slave, const std::string& dataHex) {
  std::vector<uint8_t> frame{slave, 0x03, 0};
  for (uint8_t b : Bytes(dataHex)) frame.push_back(b);
  frame[2] = static_cast<uint8_t>(frame.size() - 3);
  return WithCrc(frame);
}

class DriverOnLine : public ::testing::Test {
 protected:
  PortsFolder ports;
  PtyPair pty;
  DriverLink link;

  void SetUp() override {
    ports.Map(1, pty.SlavePath());
    ASSERT_NE(link.OpenPort(1, 115200, 0), 0);
  }

  // Runs `operation`, checks the request it puts on the line, answers it
  // with `answer` and returns the operation's result.
  ModbusResult Exchange(const std::function<ModbusResult()>& operation, const std::string& expectedRequest,
                        const std::vector<uint8_t>& answer) {
    auto done = std::async(std::launch::async, operation);
    const auto request = WithCrc(expectedRequest);
    EXPECT_EQ(Hex(ReadExactly(pty.Master(), request.size(), 2s)), Hex(request));
    WriteAll(pty.Master(), answer);
    return done.get();
  }

  // Checks the request of a block write and echoes it as the driver would.
  ModbusResult WriteExchange(const std::function<ModbusResult()>& operation, const std::string& expectedRequest) {
    const auto request = Bytes(expectedRequest);
    std::vector<uint8_t> echo(request.begin(), request.begin() + 6);
    return Exchange(operation, expectedRequest, WithCrc(echo));
  }
};

std::string Zeros(int bytes) {
  std::string hex;
  for (int i = 0; i < bytes; ++i) hex += " 00";
  return hex;
}

TEST_F(DriverOnLine, PidFloatsTravelHighWordFirst) {
  const std::string data = "3F 80 00 00 C0 00 00 00" + Zeros(24) + " 41 20 00 00";
  PidBlock pid{};
  ASSERT_EQ(Exchange([&] { return link.ReadPid(1, pid); }, "01 03 00 BA 00 12", ReadAnswer(1, data)), ResultSuccess);
  EXPECT_EQ(pid.holdKp, 1.0f);
  EXPECT_EQ(pid.holdKi, -2.0f);
  EXPECT_EQ(pid.positionKd, 10.0f);

  const PidBlock before = pid;
  const std::string request = "01 10 00 BA 00 12 24 " + data;
  // Twice: the caller's record must not be word-swapped by the first write.
  for (int i = 0; i < 2; ++i) {
    ASSERT_EQ(WriteExchange([&] { return link.WritePid(1, pid); }, request), ResultSuccess);
  }
  EXPECT_EQ(std::memcmp(&pid, &before, sizeof pid), 0);
}

TEST_F(DriverOnLine, SystemParamsConvertOnlyTheTwoFloatPairs) {
  // Registers 0..25; 12-13 float 1.0, 16-17 baud 115200, 22-23 float 0.5, 24 = -1.
  const std::string data =
      "00 01 00 02 00 03 00 04 00 05 00 06 00 07 00 08 00 09 00 0A 00 0B 00 0C "
      "3F 80 00 00 00 0F 00 10 00 01 C2 00 00 13 00 14 00 15 00 16 3F 00 00 00 FF FF 00 1A";
  SystemParamBlock block{};
  ASSERT_EQ(Exchange([&] { return link.ReadSystemParams(1, block); }, "01 03 00 80 00 1A", ReadAnswer(1, data)),
            ResultSuccess);
  EXPECT_EQ(block.limitTriggerPolarity, 1);
  EXPECT_EQ(block.compareDeadband, 12);
  EXPECT_EQ(block.pulseRatio, 1.0f);
  EXPECT_EQ(block.stallStopTime, 0x0F);
  EXPECT_EQ(block.serialBaudHigh, 0x0001);
  EXPECT_EQ(block.serialBaudLow, 0xC200);
  EXPECT_EQ(block.serialParity, 0x13);
  EXPECT_EQ(block.analogGain, 0.5f);
  EXPECT_EQ(block.analogOffset, -1);
  EXPECT_EQ(block.alarmDisabled, 0x1A);

  ASSERT_EQ(WriteExchange([&] { return link.WriteSystemParams(1, block); }, "01 10 00 80 00 1A 34 " + data),
            ResultSuccess);
}

TEST_F(DriverOnLine, ReciprocateStrokeIsOneThirtyTwoBitValue) {
  ReciprocateBlock block{};
  const std::string data = "00 02 00 01 00 01 86 A0 00 0A 00 0B 00 0C 00 0D 00 01 00 96";
  ASSERT_EQ(Exchange([&] { return link.ReadReciprocate(1, block); }, "01 03 00 A0 00 0A", ReadAnswer(1, data)),
            ResultSuccess);
  EXPECT_EQ(block.resetMode, 2);
  EXPECT_EQ(block.totalStroke, 100000u);
  EXPECT_EQ(block.resetTorqueCurrent, 150);
  ASSERT_EQ(WriteExchange([&] { return link.WriteReciprocate(1, block); }, "01 10 00 A0 00 0A 14 " + data),
            ResultSuccess);
}

TEST_F(DriverOnLine, DeviceInfoKeepsTheModelTextInWireOrder) {
  DeviceInfoBlock info{};
  const std::string data =
      "00 AB 01 05 41 42 43 44 45 46 47 48 49 4A 4B 4C 4D 4E 4F 50 03 E8 4E 20 04 D2 00 0A";
  ASSERT_EQ(Exchange([&] { return link.ReadDeviceInfo(1, info); }, "01 03 00 00 00 0E", ReadAnswer(1, data)),
            ResultSuccess);
  EXPECT_EQ(info.deviceId, 0x00AB);
  EXPECT_EQ(info.version, 0x0105);
  EXPECT_EQ(std::string(info.model, 16), "ABCDEFGHIJKLMNOP");
  EXPECT_EQ(info.pwmResolution, 1000);
  EXPECT_EQ(info.pwmFrequency, 20000);
  EXPECT_EQ(info.maxCurrent, 1234);
  EXPECT_EQ(info.currentResolution, 10);
}

TEST_F(DriverOnLine, StatusArrivesAsHostWordsWithPairsLeftSplit) {
  StatusBlock status{};
  const std::string data = "FC 18 00 FA FF 85 00 01 FF FF FF FE 00 01 86 A0 0C E4 FF 38" + Zeros(24);
  ASSERT_EQ(Exchange([&] { return link.ReadStatus(1, status); }, "01 03 00 20 00 16", ReadAnswer(1, data)),
            ResultSuccess);
  EXPECT_EQ(status.outputPwm, -1000);
  EXPECT_EQ(status.phaseCurrent, 250);
  EXPECT_EQ(status.commutationFrequency, -123);
  EXPECT_EQ(status.completionState, 1);
  EXPECT_EQ(status.positionHigh, 0xFFFF);
  EXPECT_EQ(status.positionLow, 0xFFFE);
  EXPECT_EQ(status.completionTimeHigh, 0x0001);
  EXPECT_EQ(status.completionTimeLow, 0x86A0);
  EXPECT_EQ(status.in1Voltage, 3300);
  EXPECT_EQ(status.in2Voltage, -200);
}

TEST_F(DriverOnLine, AnswersWithAnotherRegisterCountAreBadAndChangeNothing) {
  for (const char* data : {"00 05 00 00", "00 05 00 06 00 07 00 08 00 09"}) {
    RampBlock ramp{1, 2, 3, 4};
    EXPECT_EQ(Exchange([&] { return link.ReadRamp(1, ramp); }, "01 03 00 50 00 04", ReadAnswer(1, data)),
              ResultBadResponse)
        << data;
    EXPECT_EQ(ramp.pwmRise, 1);
    EXPECT_EQ(ramp.deceleration, 4);
  }
}

TEST_F(DriverOnLine, FailedReadsLeaveTheRecordUntouched) {
  MotorParamBlock params;
  std::memset(&params, 0x5A, sizeof params);
  const MotorParamBlock before = params;
  EXPECT_EQ(Exchange([&] { return link.ReadMotorParams(1, params); }, "01 03 00 60 00 17", WithCrc("01 83 02")), 0x02);
  EXPECT_EQ(std::memcmp(&params, &before, sizeof params), 0);
}

TEST_F(DriverOnLine, LearningReadCountFollowsWordFour) {
  const std::tuple<uint16_t, const char*, int> cases[] = {
      {0, "00 05", 5}, {6, "00 0B", 11}, {11, "00 10", 16}, {12, "00 10", 16}, {0xFFFF, "00 10", 16}};
  for (const auto& [wanted, count, registers] : cases) {
    LearningBlock block{};
    block.words[4] = wanted;
    block.words[15] = 0x7777;  // beyond a short read: stays
    const std::string head = "00 00 00 01 00 03 00 00 00 06";
    const std::string results = registers > 5 ? " 00 12 00 34" + Zeros(2 * (registers - 7)) : "";
    ASSERT_EQ(Exchange([&] { return link.ReadLearningBlock(1, block); }, std::string("01 03 00 E0 ") + count,
                       ReadAnswer(1, head + results)),
              ResultSuccess)
        << wanted;
    EXPECT_EQ(block.words[1], 1);
    EXPECT_EQ(block.words[2], 3);
    EXPECT_EQ(block.words[5], registers > 5 ? 0x12 : 0);
    EXPECT_EQ(block.words[6], registers > 5 ? 0x34 : 0);
    EXPECT_EQ(block.words[15], registers == 16 ? 0 : 0x7777);
  }

  LearningBlock start{};
  start.words[1] = 1;
  start.words[4] = 6;  // never sent: only the head four go out
  ASSERT_EQ(WriteExchange([&] { return link.WriteLearningBlock(1, start); }, "01 10 00 E0 00 04 08 00 00 00 01 00 00 00 00"),
            ResultSuccess);
}

TEST_F(DriverOnLine, CommandsGoToTheirRegisters) {
  EXPECT_EQ(WriteExchange([&] { return link.WriteStopCommand(3, 2); }, "03 06 00 40 00 02"), ResultSuccess);
  EXPECT_EQ(WriteExchange([&] { return link.WriteSpeedCommand(1, 0xFC18, 0); }, "01 06 00 42 FC 18"), ResultSuccess);
  EXPECT_EQ(WriteExchange([&] { return link.WriteSpeedCommand(1, 100, 1); }, "01 06 00 43 00 64"), ResultSuccess);
  EXPECT_EQ(WriteExchange([&] { return link.WriteSpeedCommand(1, 7, 2); }, "01 06 00 44 00 07"), ResultSuccess);

  const auto sent = link.LastSentFrame();
  EXPECT_EQ(link.WriteSpeedCommand(1, 7, 3), ResultInvalidSelector);
  EXPECT_EQ(link.WriteSpeedCommand(1, 7, -1), ResultInvalidSelector);
  EXPECT_EQ(link.LastSentFrame(), sent);
  EXPECT_TRUE(ReadExactly(pty.Master(), 1, 100ms).empty());
}

TEST_F(DriverOnLine, PositionMoveSplitsTheTargetHighWordFirst) {
  EXPECT_EQ(WriteExchange([&] { return link.WritePositionMove(1, 5000, 100000, 0); },
                          "01 10 00 44 00 04 08 13 88 00 00 00 01 86 A0"),
            ResultSuccess);
  EXPECT_EQ(WriteExchange([&] { return link.WritePositionMove(1, 1, -1, 1); },
                          "01 10 00 44 00 04 08 00 01 00 01 FF FF FF FF"),
            ResultSuccess);
}

}  // namespace
