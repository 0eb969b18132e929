// korvelt listen as a user runs it, on a pseudo-terminal that carries a
// recorded stream of two masters' requests and their drivers' answers,
// written in pieces split at random points.
#include <gtest/gtest.h>
#include <termios.h>

#include <csignal>
#include <random>

#include "ChildProcess.h"
#include "KorveltRun.h"
#include "PtyPair.h"
#include "WireBytes.h"

namespace {

using namespace std::chrono_literals;

struct Heard {
  const char* kind;
  std::vector<uint8_t> bytes;
  const char* meaning;  // in the meaning
};

// Two masters on one line: a PLC polling the status of driver 1 and
// commanding driver 2, a panel reading driver 2's ramps, an exception, a
// write and a time-out.
const std::vector<Heard> kRecording = {
    {"request", WithCrc("01 03 00 20 00 16"), "读取 实时状态"},
    {"answer", WithCrc("01 03 2C 00 64 00 32 00 0A 00 01 00 00 01 F4 00 00 00 00 0C E4 06 72 00 0B 00 75 00 01 00 01 "
                       "00 00 00 00 00 00 00 00 00 00 00 00 FF FF 00 00"),
     "实时状态: 输出PWM=10.0%, 相电流=0.50A"},
    {"request", WithCrc("02 06 00 42 FC 18"), "写入 PWM占空比命令: 输出PWM=-100.0%"},
    {"answer", WithCrc("02 06 00 42 FC 18"), "已写入 PWM占空比命令"},
    {"request", WithCrc("02 03 00 50 00 04"), "读取 PWM方式缓冲/闭环方式加速度"},
    {"answer", WithCrc("02 03 08 00 05 00 05 13 88 13 88"), "PWM上升缓冲=0.5秒"},
    {"request", WithCrc("01 06 00 40 00 01"), "写入 停止命令: 停止方式=紧急停止"},
    {"exception", WithCrc("01 86 60"), "异常应答 60 请先对电机进行学习 (写入 停止命令)"},
    {"request", WithCrc("02 10 00 44 00 04 08 13 88 00 01 FF FE D4 10"), "转动位置=-76784"},
    {"answer", WithCrc("02 10 00 44 00 04"), "已写入 位置运动命令"},
    {"request", WithCrc("05 03 00 00 00 0E"), "读取 设备信息"},  // nobody at 5
    {"request", WithCrc("01 04 00 00 00 02"), "未知功能码 0x04"},
    {"request", WithCrc("01 03 01 00 00 01"), "读取 未知寄存器"},
};

// The listener's port is set once its settings show on the far side.
bool Configured(const PtyPair& pty) {
  termios tio{};
  return tcgetattr(pty.Slave(), &tio) == 0 && cfgetispeed(&tio) == B19200;
}

std::vector<nlohmann::json> JsonLines(const std::string& output) {
  std::vector<nlohmann::json> lines;
  for (size_t start = 0; start < output.size();) {
    const size_t end = output.find('\n', start);
    lines.push_back(nlohmann::json::parse(output.substr(start, end - start), nullptr, false));
    start = end == std::string::npos ? output.size() : end + 1;
  }
  return lines;
}

TEST(KorveltListen, GivesTheFramesOfTwoMastersWhereverTheStreamIsSplit) {
  PortsFolder ports;
  PtyPair pty;
  ports.Map(4, pty.SlavePath());
  std::vector<uint8_t> stream;
  for (const Heard& frame : kRecording) stream.insert(stream.end(), frame.bytes.begin(), frame.bytes.end());

  std::mt19937 random(20261207);
  for (int run = 0; run < 3; ++run) {
    ChildProcess listen({KORVELT_CLI_EXECUTABLE, "--port", "COM4", "--baud", "19200", "--json", "listen", "--count",
                         std::to_string(kRecording.size())},
                        true);
    ASSERT_TRUE(WaitUntil([&] { return Configured(pty); }, 5000ms)) << "korvelt did not open COM4";
    for (size_t at = 0; at < stream.size();) {
      const size_t n = std::min<size_t>(1 + random() % 23, stream.size() - at);
      WriteAll(pty.Master(), {stream.begin() + at, stream.begin() + at + n});
      at += n;
    }
    const std::string output = listen.ReadToEnd(10s);
    ASSERT_EQ(listen.Wait(5s), 0) << listen.Errors();
    const std::vector<nlohmann::json> lines = JsonLines(output);
    ASSERT_EQ(lines.size(), kRecording.size()) << output;
    for (size_t i = 0; i < kRecording.size(); ++i) {
      const nlohmann::json& line = lines[i];
      ASSERT_FALSE(line.is_discarded()) << output;
      EXPECT_EQ(line["kind"], kRecording[i].kind) << i;
      EXPECT_EQ(line["bytes"], Hex(kRecording[i].bytes)) << i;
      EXPECT_EQ(line["crc"], true) << i;
      EXPECT_EQ(line["slave"], kRecording[i].bytes[0]) << i;
      EXPECT_EQ(line["function"], kRecording[i].bytes[1]) << i;
      EXPECT_NE(line["meaning"].get<std::string>().find(kRecording[i].meaning), std::string::npos)
          << i << ": " << line["meaning"];
      EXPECT_NE(line["time"].get<std::string>().find('T'), std::string::npos);
    }
    // Set back, so the next run's open shows again.
    termios tio{};
    tcgetattr(pty.Slave(), &tio);
    cfsetspeed(&tio, B9600);
    tcsetattr(pty.Slave(), TCSANOW, &tio);
  }
}

TEST(KorveltListen, RunsUntilInterruptedWithoutACount) {
  PortsFolder ports;
  PtyPair pty;
  ports.Map(4, pty.SlavePath());
  ChildProcess listen({KORVELT_CLI_EXECUTABLE, "--port", "COM4", "--baud", "19200", "listen"}, true);
  ASSERT_TRUE(WaitUntil([&] { return Configured(pty); }, 5000ms));
  WriteAll(pty.Master(), kRecording[0].bytes);
  const std::optional<std::string> line = listen.ReadLine(5s);
  ASSERT_TRUE(line.has_value());
  EXPECT_NE(line->find("请求 01 03 CRC正确 读取 实时状态"), std::string::npos) << *line;
  listen.Signal(SIGINT);
  EXPECT_EQ(listen.Wait(5s), 0) << listen.Errors();
}

}  // namespace
