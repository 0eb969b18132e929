// The simulated driver against a Modbus master this project did not write:
// mbpoll reads the device information and status blocks, reads the PID
// floats, writes registers and meets an exception, over a pseudo-terminal.
#include <gtest/gtest.h>

#include <map>
#include <sstream>

#include "ChildProcess.h"
#include "PtyPair.h"
#include "sim/SlaveServer.h"

using namespace std::chrono_literals;

namespace {

// "[ref]: value" lines of mbpoll's output.
std::map<int, std::string> Values(const std::string& output) {
  std::map<int, std::string> values;
  std::istringstream lines(output);
  std::string text;
  while (std::getline(lines, text)) {
    const size_t close = text.find("]:");
    if (text.empty() || text[0] != '[' || close == std::string::npos) continue;
    std::istringstream value(text.substr(close + 2));
    value >> values[std::stoi(text.substr(1, close - 1))];
  }
  return values;
}

class Mbpoll : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_STRNE(MBPOLL_EXECUTABLE, "") << "mbpoll is missing: run scripts/install-deps"; }

  // One mbpoll run at 9600 8N2 with 0-based references; extra arguments
  // go before the device, values to write after it.
  ProgramResult Run(std::vector<std::string> options, const std::vector<std::string>& values = {}) {
    std::vector<std::string> argv = {MBPOLL_EXECUTABLE, "-m", "rtu", "-b", "9600", "-P", "none", "-s", "2",
                                     "-a", "1", "-0", "-1", "-o", "1"};
    argv.insert(argv.end(), options.begin(), options.end());
    argv.push_back(pty_.SlavePath());
    argv.insert(argv.end(), values.begin(), values.end());
    return RunProgram(argv, 10s);
  }

  PtyPair pty_;
  sim::SimulatedDriver driver_;
  sim::SlaveServer server_{driver_, pty_.Master()};
};

}  // namespace

TEST_F(Mbpoll, ReadsDeviceInformationAndStatus) {
  ProgramResult result = Run({"-r", "0", "-c", "14"});
  ASSERT_EQ(result.exitStatus, 0) << result.output;
  std::map<int, std::string> values = Values(result.output);
  ASSERT_EQ(values.size(), 14u) << result.output;
  EXPECT_EQ(values[0], "2609");   // 0x0A31
  EXPECT_EQ(values[1], "261");    // version 0x0105
  EXPECT_EQ(values[2], "19286");  // "KV"
  EXPECT_EQ(values[10], "1000");
  EXPECT_EQ(values[11], "20000");
  EXPECT_EQ(values[13], "10");

  result = Run({"-r", "32", "-c", "22"});
  ASSERT_EQ(result.exitStatus, 0) << result.output;
  values = Values(result.output);
  ASSERT_EQ(values.size(), 22u) << result.output;
  EXPECT_EQ(values[32], "0");                         // output PWM
  EXPECT_NEAR(std::stoi(values[40]), 3300, 3);        // IN1 mV
  EXPECT_EQ(values[51], "1");                         // 未学习
  EXPECT_EQ(values[52], "0");                         // motor speed
}

TEST_F(Mbpoll, ReadsThePidFloatsHighWordFirst) {
  const ProgramResult result = Run({"-t", "4:float", "-B", "-r", "186", "-c", "9"});
  ASSERT_EQ(result.exitStatus, 0) << result.output;
  std::map<int, std::string> values = Values(result.output);
  EXPECT_EQ(values[186], "0.8");
  EXPECT_EQ(values[192], "1.2");
  EXPECT_EQ(values[202], "0.5");
}

TEST_F(Mbpoll, WritesOneAndSeveralRegisters) {
  ProgramResult result = Run({"-r", "80"}, {"7"});
  ASSERT_EQ(result.exitStatus, 0) << result.output;
  EXPECT_EQ(driver_.Register(0x0050), 7);

  result = Run({"-r", "176"}, {"1", "1", "1234", "567"});
  ASSERT_EQ(result.exitStatus, 0) << result.output;
  EXPECT_EQ(driver_.Register(0x00B0), 1);
  EXPECT_EQ(driver_.Register(0x00B2), 1234);
  EXPECT_EQ(driver_.Register(0x00B3), 567);
}

TEST_F(Mbpoll, SeesTheDriversExceptions) {
  ProgramResult result = Run({"-r", "33"}, {"5"});
  EXPECT_NE(result.exitStatus, 0);
  EXPECT_NE(result.output.find("Illegal data address"), std::string::npos) << result.output;

  // A motion command on a motor not yet learned: the driver's own code.
  result = Run({"-r", "66"}, {"100"});
  EXPECT_NE(result.exitStatus, 0);
  EXPECT_EQ(driver_.Register(0x0042), 0);
}
