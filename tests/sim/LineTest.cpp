// The simulated driver's own line: a master is heard only at the driver's
// baud rate and parity, as the tool's serial port sets them on the
// pseudo-terminal; and on a wire-timed line requests and answers take at
// least the time the characters need at the baud rate.
#include <gtest/gtest.h>

#include <atomic>

#include "PtyPair.h"
#include "SimTestSupport.h"
#include "link/SerialPort.h"
#include "sim/SlaveServer.h"

using namespace simtest;
using namespace std::chrono_literals;

namespace {

const Bytes kReadRamp = Read(1, 0x0050, 4);
const Bytes kRampAnswer = sim::SimulatedDriver().Respond(kReadRamp);

// The port as the tool opens it, at the rate and parity of its panel.
bool Configure(SerialPort& port, const std::string& path, sim::LineSettings master) {
  return port.OpenDevice(path) && port.Configure(static_cast<int>(master.baud), master.parity);
}

// A driver that hears only its own settings, and the last master it did not.
struct OwnSettingsLine {
  explicit OwnSettingsLine(sim::LineSettings own)
      : server(driver, pty.Master(), {.settings = own, .hearOwnSettingsOnly = true, .unheard = [this](auto& master) {
                                        lastUnheard = master;
                                        ++unheard;
                                      }}) {}

  PtyPair pty;
  sim::SimulatedDriver driver;
  std::atomic<sim::LineSettings> lastUnheard{};
  std::atomic<int> unheard{0};
  sim::SlaveServer server;
};

}  // namespace

TEST(DriverLine, HearsOnlyAMasterAtItsOwnRateAndParityAndOneThatReopensAtThem) {
  struct Case {
    sim::LineSettings own, master;
  };
  const Case cases[] = {
      {{9600, Parity::None2}, {9600, Parity::None2}},  {{9600, Parity::None2}, {19200, Parity::None2}},
      {{9600, Parity::None2}, {9600, Parity::Odd}},    {{9600, Parity::None2}, {9600, Parity::Even}},
      {{14400, Parity::Even}, {14400, Parity::Even}},  // a rate without a termios constant
      {{14400, Parity::Even}, {14400, Parity::Odd}},   {{14400, Parity::Even}, {19200, Parity::Even}},
      {{115200, Parity::Odd}, {115200, Parity::Odd}},  {{115200, Parity::Odd}, {115200, Parity::None2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(sim::Describe(c.own) + " against a master at " + sim::Describe(c.master));
    OwnSettingsLine line(c.own);
    SerialPort port;
    ASSERT_TRUE(Configure(port, line.pty.SlavePath(), c.master));
    if (c.master != c.own) {
      ASSERT_EQ(port.Write(kReadRamp.data(), kReadRamp.size()), static_cast<ssize_t>(kReadRamp.size()));
      ASSERT_TRUE(WaitUntil([&] { return line.unheard == 1; }));
      EXPECT_EQ(line.lastUnheard.load(), c.master) << "as the master set it";
      EXPECT_EQ(port.QueuedInput(), 0) << "no answer";
      EXPECT_EQ(line.driver.RequestCount(), 0u) << "the driver saw no request";
      port.Close();
      ASSERT_TRUE(Configure(port, line.pty.SlavePath(), c.own));
    }
    EXPECT_EQ(Exchange(port.Descriptor(), kReadRamp, kRampAnswer.size()), kRampAnswer);
  }
}

// Wire timing is checked only from below, from the moment the request was
// written: the answer cannot be complete before its characters could have
// crossed the line, however loaded the machine; it may come later.
TEST(DriverLine, AWireTimedAnswerTakesAtLeastItsCharactersTimeAndComesWholeInOrder) {
  struct Case {
    unsigned baud;
    std::chrono::microseconds turnaround;
    sim::Fault fault;
    std::chrono::nanoseconds extra;  // what the fault adds
  };
  const Bytes statusRead = Read(1, 0x0020, 22);
  const Case cases[] = {
      {9600, DriverTurnaround, sim::Fault{}, 0ms},
      {115200, 5ms, sim::Fault::Delayed(20ms), 20ms},
      {115200, DriverTurnaround, sim::Fault::InPieces(2ms), 48 * 2ms},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.baud) + " bit/s, fault " + std::string(sim::FaultName(c.fault.kind)));
    ClockedDriver served;  // its stopped clock keeps the status block as it is
    const Bytes answer = served.driver.Respond(statusRead);
    ASSERT_EQ(answer.size(), 49u);
    served.driver.SetFault(c.fault);
    PtyPair pty;
    sim::SlaveServer server(served.driver, pty.Master(),
                            {.settings = {c.baud, Parity::None2}, .wire = true, .turnaround = c.turnaround});

    const auto sent = std::chrono::steady_clock::now();
    ASSERT_EQ(write(pty.Slave(), statusRead.data(), statusRead.size()), static_cast<ssize_t>(statusRead.size()));
    const std::string received = ReadExactly(pty.Slave(), answer.size(), 3000ms);
    EXPECT_GE(std::chrono::steady_clock::now() - sent,
              sim::WireTime(statusRead.size() + answer.size(), c.baud) + c.turnaround + c.extra);
    EXPECT_EQ(Bytes(received.begin(), received.end()), answer);
  }
}
