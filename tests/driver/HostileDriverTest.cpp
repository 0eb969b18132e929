// The link against a simulated driver that misbehaves on purpose: whatever
// it does, no crash, no hang, no wrong value handed to a caller, the
// documented code, and the next normal transaction succeeds.
#include <gtest/gtest.h>
#include <time.h>

#include <cstring>
#include <functional>
#include <future>
#include <memory>

#include "PtyPair.h"
#include "driver/DriverLink.h"
#include "sim/SimulatedDriver.h"
#include "sim/SlaveServer.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using sim::Fault;
using sim::FaultKind;

constexpr uint16_t kRamp[4] = {11, 22, 33, 44};

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

class HostileDriver : public ::testing::Test {
 protected:
  PortsFolder ports;
  PtyPair pty;
  sim::SimulatedDriver driver{sim::DriverOptions{.learned = true}};
  std::unique_ptr<sim::SlaveServer> server = std::make_unique<sim::SlaveServer>(driver, pty.Master());
  DriverLink link;

  void SetUp() override {
    for (uint16_t i = 0; i < 4; ++i) driver.SetRegister(static_cast<uint16_t>(0x0050 + i), kRamp[i]);
    ports.Map(1, pty.SlavePath());
    ASSERT_NE(link.OpenPort(1, 115200, Parity::None2), 0);
  }

  // A ramp read whose record is either left as it was or holds exactly
  // what the driver has: never anything else.
  ModbusResult ReadRampChecked(uint8_t slave = 1) {
    RampBlock ramp{0xA5A5, 0xA5A5, 0xA5A5, 0xA5A5};
    const ModbusResult result = link.ReadRamp(slave, ramp);
    const RampBlock expected = result == ResultSuccess ? RampBlock{kRamp[0], kRamp[1], kRamp[2], kRamp[3]}
                                                       : RampBlock{0xA5A5, 0xA5A5, 0xA5A5, 0xA5A5};
    EXPECT_EQ(std::memcmp(&ramp, &expected, sizeof ramp), 0) << "result " << ResultText(result);
    return result;
  }
};

TEST_F(HostileDriver, EachMisdeedEndsWithItsCodeAndTheNextExchangeSucceeds) {
  struct Case {
    const char* name;
    Fault fault;
    std::function<ModbusResult()> operation;
    ModbusResult expected;
  };
  const auto readRamp = [this] { return ReadRampChecked(); };
  const Case cases[] = {
      {"short byte count", Fault::CountOffBy(-2, 1), readRamp, ResultBadResponse},
      {"long byte count", Fault::CountOffBy(2, 1), readRamp, ResultBadResponse},
      {"echoes another register", Fault::Of(FaultKind::WrongEcho, 1),
       [this] { return link.WriteStopCommand(1, 1); }, ResultBadResponse},
      {"echoes another start", Fault::Of(FaultKind::WrongEcho, 1),
       [this] { return link.WriteRamp(1, RampBlock{11, 22, 33, 44}); }, ResultBadResponse},
      {"answers from another address", Fault::Of(FaultKind::WrongAddress, 1), readRamp, ResultTimeout},
      {"answers a request of another slave", Fault::Of(FaultKind::AnyAddress, 1),
       [this] { return ReadRampChecked(2); }, ResultTimeout},
      {"pauses in the middle of its answer", Fault::SplitBy(20ms, 1), readRamp, ResultSuccess},
      // Last: the answer to the read after it comes late in turn.
      {"answers late, then on time", Fault::Delayed(600ms, 1), readRamp, ResultTimeout},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    driver.SetFault(c.fault);
    EXPECT_EQ(c.operation(), c.expected);
    ASSERT_TRUE(WaitUntil([&] { return driver.CurrentFault().kind == FaultKind::None; }));
    EXPECT_EQ(ReadRampChecked(), ResultSuccess);
  }
}

TEST_F(HostileDriver, ALateAnswerIsNeverTakenForTheNextRequest) {
  driver.SetFault(Fault::Delayed(600ms, 1));
  MotorParamBlock params{};
  EXPECT_EQ(link.ReadMotorParams(1, params), ResultTimeout);
  // The motor parameters arrive while this read waits: they are no ramp.
  EXPECT_EQ(ReadRampChecked(), ResultBadResponse);
  // The ramp's own answer follows close behind. However the timing falls,
  // a status read shows the status or nothing, and soon the status.
  ModbusResult result = ResultTimeout;
  for (int attempt = 0; attempt < 3 && result != ResultSuccess; ++attempt) {
    StatusBlock status;
    std::memset(&status, 0x5A, sizeof status);
    result = link.ReadStatus(1, status);
    if (result == ResultSuccess) {
      EXPECT_NEAR(status.in1Voltage, 3300, 3) << "the status block, not the parameters or the ramp";
    } else {
      EXPECT_EQ(status.in1Voltage, 0x5A5A) << ResultText(result);
    }
  }
  EXPECT_EQ(result, ResultSuccess);
}

TEST_F(HostileDriver, ABabblingLineCostsLittleAndTheLinkRecovers) {
  server->Babble(11520);  // 115200 bit/s, without a pause
  const double cpuBefore = ProcessCpuSeconds();
  const auto wallBefore = Clock::now();
  EXPECT_EQ(ReadRampChecked(), ResultTimeout);
  const double cpu = ProcessCpuSeconds() - cpuBefore;
  const double wall = std::chrono::duration<double>(Clock::now() - wallBefore).count();
  // A reader that spins on the flood would burn a whole core.
  EXPECT_LT(cpu, 0.5 * wall) << cpu << " s CPU in " << wall << " s";
  server->Babble(0);
  EXPECT_EQ(ReadRampChecked(), ResultSuccess);
}

TEST_F(HostileDriver, ADriverThatVanishesMidAnswerEndsTheExchangeAtOnce) {
  driver.SetFault(Fault::SplitBy(10s, 1));
  const auto started = Clock::now();
  auto read = std::async(std::launch::async, [&] { return ReadRampChecked(); });
  ASSERT_TRUE(WaitUntil([&] { return !link.LastReceivedFrame().empty(); }));
  server.reset();
  pty.Hangup();
  EXPECT_EQ(read.get(), ResultTimeout);
  EXPECT_LT(Clock::now() - started, ModbusMaster::ResponseTimeout) << "ended by the hang-up, not the time-out";
  EXPECT_TRUE(link.PortLost());
  EXPECT_EQ(ReadRampChecked(), ResultTimeout) << "a lost port fails at once";

  // The driver comes back on a new line under the same COM number.
  link.ClosePort();
  EXPECT_FALSE(link.PortLost());
  PtyPair replugged;
  sim::SlaveServer back(driver, replugged.Master());
  ports.Map(1, replugged.SlavePath());
  ASSERT_NE(link.OpenPort(1, 115200, Parity::None2), 0);
  EXPECT_EQ(ReadRampChecked(), ResultSuccess);
}

}  // namespace
