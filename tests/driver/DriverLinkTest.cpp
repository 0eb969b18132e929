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
    ASSERT_NE(link.OpenPort(1, 115200, Parity::None2), 0);
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

TEST_F(DriverOnLine, FailedReadsLeaveTheRecordUntouched) {
  MotorParamBlock params;
  std::memset(&params, 0x5A, sizeof params);
  const MotorParamBlock before = params;
  EXPECT_EQ(Exchange([&] { return link.ReadMotorParams(1, params); }, "01 03 00 60 00 17", WithCrc("01 83 02")), 0x02);
  EXPECT_EQ(std::memcmp(&params, &before, sizeof params), 0);
}

// An operation as a caller runs it: its request length, and how it runs
// with the caller's record or out-parameters filled with A5 beforehand,
// handing back what the caller holds afterwards.
struct Operation {
  size_t requestLength;
  std::function<ModbusResult(DriverLink&, std::vector<uint8_t>& seen)> run;
};

template <class T>
std::vector<uint8_t> Sentinel() {
  return std::vector<uint8_t>(sizeof(T), 0xA5);
}

const Operation kReadRamp{8, [](DriverLink& link, std::vector<uint8_t>& seen) {
  RampBlock ramp;
  seen = Sentinel<RampBlock>();
  std::memcpy(&ramp, seen.data(), sizeof ramp);
  const ModbusResult result = link.ReadRamp(1, ramp);
  std::memcpy(seen.data(), &ramp, sizeof ramp);
  return result;
}};
const Operation kReadLearning{8, [](DriverLink& link, std::vector<uint8_t>& seen) {
  LearningBlock learning;
  seen = Sentinel<LearningBlock>();
  std::memcpy(&learning, seen.data(), sizeof learning);
  learning.words[4] = 6;  // eleven registers
  const ModbusResult result = link.ReadLearningBlock(1, learning);
  seen.assign(reinterpret_cast<const uint8_t*>(learning.words), reinterpret_cast<const uint8_t*>(learning.words + 4));
  return result;
}};
const Operation kWriteStop{8, [](DriverLink& link, std::vector<uint8_t>& seen) {
  uint16_t echo[2] = {0xA5A5, 0xA5A5};
  const ModbusResult result = link.WriteSingleRegister(1, 0x0040, 2, &echo[0], &echo[1]);
  seen.assign(reinterpret_cast<const uint8_t*>(echo), reinterpret_cast<const uint8_t*>(echo + 2));
  return result;
}};
const Operation kWriteRamp{17, [](DriverLink& link, std::vector<uint8_t>& seen) {
  const uint16_t words[4] = {1, 2, 3, 4};
  uint16_t echo[2] = {0xA5A5, 0xA5A5};
  const ModbusResult result = link.WriteMultipleRegisters(1, 0x0050, words, 4, &echo[0], &echo[1]);
  seen.assign(reinterpret_cast<const uint8_t*>(echo), reinterpret_cast<const uint8_t*>(echo + 2));
  return result;
}};
const Operation kIdentify{7, [](DriverLink& link, std::vector<uint8_t>& seen) {
  seen.assign(8, 0xA5);
  uint16_t capacity = 8;
  return link.ReadDeviceIdentification(1, 1, 0, seen.data(), &capacity);
}};

std::vector<uint8_t> Then(std::vector<uint8_t> first, const std::vector<uint8_t>& second) {
  first.insert(first.end(), second.begin(), second.end());
  return first;
}

using Replier = std::function<std::vector<uint8_t>(const std::vector<uint8_t>& request)>;

Replier Fixed(std::vector<uint8_t> bytes) {
  return [bytes](const std::vector<uint8_t>&) { return bytes; };
}

// Answers checked against their request: each rule with its result and
// what the caller's buffer holds afterwards.
TEST_F(DriverOnLine, AnswersAreCheckedAgainstTheirRequest) {
  const auto ramp = ReadAnswer(1, "00 01 00 02 00 03 00 04");
  const char* const untouched = "A5 A5 A5 A5 A5 A5 A5 A5";
  const char* const rampRead = "01 00 02 00 03 00 04 00";
  const Replier echo = [](const std::vector<uint8_t>& request) { return request; };
  struct Case {
    const char* name;
    const Operation& operation;
    bool echoingLine;  // a read that came back alone has shown the link that the line echoes
    Replier reply;
    ModbusResult result;
    const char* seen;
  };
  const Case cases[] = {
      {"short byte count", kReadRamp, false, Fixed(ReadAnswer(1, "00 01 00 02 00 03")), ResultBadResponse, untouched},
      {"long byte count", kReadRamp, false, Fixed(ReadAnswer(1, "00 01 00 02 00 03 00 04 00 05")), ResultBadResponse,
       untouched},
      {"learning block, short", kReadLearning, false, Fixed(ReadAnswer(1, "00 01 00 02 00 03 00 04 00 05")),
       ResultBadResponse, untouched},
      {"echo of another value", kWriteStop, false, Fixed(WithCrc("01 06 00 40 00 03")), ResultBadResponse, "A5 A5 A5 A5"},
      {"echo of another register", kWriteStop, false, Fixed(WithCrc("01 06 00 41 00 02")), ResultBadResponse,
       "A5 A5 A5 A5"},
      {"echo of another start", kWriteRamp, false, Fixed(WithCrc("01 10 00 51 00 04")), ResultBadResponse, "A5 A5 A5 A5"},
      {"echo of another count", kWriteRamp, false, Fixed(WithCrc("01 10 00 50 00 03")), ResultBadResponse, "A5 A5 A5 A5"},
      {"exception code 0", kReadRamp, false, Fixed(WithCrc("01 83 00")), ResultBadResponse, untouched},
      {"exception code of the link's own", kReadRamp, false, Fixed(WithCrc("01 83 82")), ResultBadResponse, untouched},
      {"six-byte exception", kReadRamp, false, Fixed(WithCrc("01 83 02 00")), ResultBadResponse, untouched},
      {"another MEI type", kIdentify, false, Fixed(WithCrc("01 2B 0D 01 01 00 00 01 00 02 4B 56")), ResultBadResponse,
       untouched},
      {"another read code", kIdentify, false, Fixed(WithCrc("01 2B 0E 02 01 00 00 01 00 02 4B 56")), ResultBadResponse,
       untouched},
      {"identification as asked", kIdentify, false, Fixed(WithCrc("01 2B 0E 01 01 00 00 01 00 02 4B 56")),
       ResultSuccess, "00 00 01 00 02 4B 56 A5"},
      {"echo, then the answer", kReadRamp, false, [&](auto& request) { return Then(request, ramp); }, ResultSuccess,
       rampRead},
      {"echo alone", kReadRamp, false, echo, ResultTimeout, untouched},
      {"write echo alone", kWriteStop, true, echo, ResultTimeout, "A5 A5 A5 A5"},
      {"write echo, then the answer", kWriteStop, true, [](auto& request) { return Then(request, request); },
       ResultSuccess, "40 00 02 00"},
      {"noise byte before", kReadRamp, false, Fixed(Then({0x00}, ramp)), ResultSuccess, rampRead},
      {"noise byte like the address", kReadRamp, false, Fixed(Then({0x01}, ramp)), ResultSuccess, rampRead},
      {"stray byte after", kReadRamp, false, Fixed(Then(ramp, {0xFF})), ResultSuccess, rampRead},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    link.ClosePort();  // a fresh open knows nothing about the line
    ASSERT_NE(link.OpenPort(1, 115200, Parity::None2), 0);
    std::vector<uint8_t> seen;
    if (c.echoingLine) {
      // No driver on the line: the status poll's requests come back alone.
      auto learnt = std::async(std::launch::async, [&] { return kReadRamp.run(link, seen); });
      const std::string request = ReadExactly(pty.Master(), 8, 2s);
      WriteAll(pty.Master(), std::vector<uint8_t>(request.begin(), request.end()));
      ASSERT_EQ(learnt.get(), ResultTimeout);
    }
    auto done = std::async(std::launch::async, [&] { return c.operation.run(link, seen); });
    const std::string request = ReadExactly(pty.Master(), c.operation.requestLength, 2s);
    WriteAll(pty.Master(), c.reply(std::vector<uint8_t>(request.begin(), request.end())));
    EXPECT_EQ(done.get(), c.result);
    EXPECT_EQ(Hex(seen), c.seen);
  }
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
