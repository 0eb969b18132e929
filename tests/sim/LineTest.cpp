// The simulated driver's own line: a master is heard only at the driver's
// baud rate and parity, as the tool's serial port sets them on the
// pseudo-terminal; and on a wire-timed line requests and answers take at
// least the time the characters need at the baud rate.
#include <gtest/gtest.h>

#include <atomic>
#include <mutex>

#include "PtyPair.h"
#include "SimTestSupport.h"
#include "link/SerialPort.h"
#include "sim/SlaveServer.h"

using namespace simtest;
using namespace std::chrono_literals;
using sim::Parity;

namespace {

const Bytes kReadRamp = Read(1, 0x0050, 4);
const Bytes kRampAnswer = sim::SimulatedDriver().Respond(kReadRamp);

// The settings the tool opens with: 0 none + 2 stop bits, 1 odd, 2 even.
struct Master {
  int baud;
  int parityIndex;
};

bool Configure(SerialPort& port, const std::string& path, Master master) {
  ::LineSettings settings;
  settings.baudRate = master.baud;
  settings.parity = "noe"[master.parityIndex];
  settings.stopBits = master.parityIndex == 0 ? 2 : 1;
  return port.OpenDevice(path) && port.Configure(settings);
}

// A server that hears only its own settings and tells which masters it
// did not hear.
class OwnSettingsLine {
 public:
  explicit OwnSettingsLine(sim::LineSettings own) : server_(driver_, pty_.Master(), Options(own)) {}

  const std::string& Path() const { return pty_.SlavePath(); }
  sim::SimulatedDriver& Driver() { return driver_; }
  int Unheard() const { return unheard_; }
  sim::LineSettings LastUnheard() {
    std::lock_guard lock(mutex_);
    return lastUnheard_;
  }

 private:
  sim::LineOptions Options(sim::LineSettings own) {
    sim::LineOptions options;
    options.settings = own;
    options.hearOwnSettingsOnly = true;
    options.unheard = [this](const sim::LineSettings& master) {
      {
        std::lock_guard lock(mutex_);
        lastUnheard_ = master;
      }
      ++unheard_;
    };
    return options;
  }

  PtyPair pty_;
  sim::SimulatedDriver driver_;
  std::mutex mutex_;
  sim::LineSettings lastUnheard_;
  std::atomic<int> unheard_{0};
  sim::SlaveServer server_;
};

Bytes Exchange(SerialPort& port, const Bytes& request, size_t answerLength) {
  if (port.Write(request.data(), request.size()) != static_cast<ssize_t>(request.size())) return {};
  const std::string answer = ReadExactly(port.Descriptor(), answerLength, 3000ms);
  return Bytes(answer.begin(), answer.end());
}

}  // namespace

TEST(DriverLine, HearsOnlyAMasterAtItsOwnRateAndParity) {
  struct Case {
    sim::LineSettings own;
    Master master;
    bool heard;
  };
  const Case cases[] = {
      {{9600, Parity::None2}, {9600, 0}, true},
      {{9600, Parity::None2}, {19200, 0}, false},
      {{9600, Parity::None2}, {9600, 1}, false},
      {{9600, Parity::None2}, {9600, 2}, false},
      {{14400, Parity::Even}, {14400, 2}, true},  // a rate without a termios constant
      {{14400, Parity::Even}, {14400, 1}, false},
      {{14400, Parity::Even}, {9600, 2}, false},
      {{115200, Parity::Odd}, {115200, 1}, true},
      {{115200, Parity::Odd}, {115200, 0}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(sim::Describe(c.own) + " against a master at " + std::to_string(c.master.baud) + " parity index " +
                 std::to_string(c.master.parityIndex));
    OwnSettingsLine line(c.own);
    SerialPort port;
    ASSERT_TRUE(Configure(port, line.Path(), c.master));
    if (c.heard) {
      EXPECT_EQ(Exchange(port, kReadRamp, kRampAnswer.size()), kRampAnswer);
      continue;
    }
    ASSERT_EQ(port.Write(kReadRamp.data(), kReadRamp.size()), static_cast<ssize_t>(kReadRamp.size()));
    ASSERT_TRUE(WaitUntil([&] { return line.Unheard() == 1; }));
    EXPECT_EQ(line.LastUnheard().baud, static_cast<unsigned>(c.master.baud)) << "as the master set it";
    EXPECT_EQ(line.LastUnheard().parity, static_cast<Parity>(c.master.parityIndex));
    EXPECT_EQ(port.QueuedInput(), 0) << "no answer";
    EXPECT_EQ(line.Driver().RequestCount(), 0u) << "the driver saw no request";
  }
}

TEST(DriverLine, AMasterThatReopensAtTheDriversRateIsHeardAgain) {
  OwnSettingsLine line({19200, Parity::Even});
  SerialPort port;
  ASSERT_TRUE(Configure(port, line.Path(), {9600, 2}));
  ASSERT_EQ(port.Write(kReadRamp.data(), kReadRamp.size()), static_cast<ssize_t>(kReadRamp.size()));
  ASSERT_TRUE(WaitUntil([&] { return line.Unheard() == 1; }));
  port.Close();

  ASSERT_TRUE(Configure(port, line.Path(), {19200, 2}));
  EXPECT_EQ(Exchange(port, kReadRamp, kRampAnswer.size()), kRampAnswer);
  EXPECT_EQ(line.Unheard(), 1);
}

// Wire timing is checked only from below, from the moment the request was
// written: no byte can come before its characters could have crossed the
// line, however loaded the machine; any may come later.
TEST(DriverLine, AWireTimedAnswerTakesAtLeastItsCharactersTimeAndComesWholeInOrder) {
  using std::chrono::nanoseconds;
  struct Case {
    unsigned baud;
    std::chrono::microseconds turnaround;
    sim::Fault fault;
    nanoseconds extra;  // what the fault adds to the round trip
  };
  const Bytes statusRead = Read(1, 0x0020, 22);
  const Case cases[] = {
      {9600, sim::DefaultTurnaround, sim::Fault{}, 0ns},
      {115200, 5ms, sim::Fault::Delayed(20ms), 20ms},
      {115200, sim::DefaultTurnaround, sim::Fault::InPieces(2ms), 48 * 2ms},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.baud) + " bit/s, fault " + std::string(sim::FaultName(c.fault.kind)));
    // A stopped clock keeps the status block the same from one read to the next.
    ClockedDriver expected;
    ClockedDriver served;
    const Bytes answer = expected.driver.Respond(statusRead);
    ASSERT_EQ(answer.size(), 49u);
    served.driver.SetFault(c.fault);
    sim::LineOptions options;
    options.settings = {c.baud, Parity::None2};
    options.wire = true;
    options.turnaround = c.turnaround;
    PtyPair pty;
    sim::SlaveServer server(served.driver, pty.Master(), options);

    const auto sent = std::chrono::steady_clock::now();
    ASSERT_EQ(write(pty.Slave(), statusRead.data(), statusRead.size()), static_cast<ssize_t>(statusRead.size()));
    const std::string first = ReadExactly(pty.Slave(), 1, 3000ms);
    const auto firstCame = std::chrono::steady_clock::now();
    const std::string rest = ReadExactly(pty.Slave(), answer.size() - 1, 3000ms);
    const auto lastCame = std::chrono::steady_clock::now();

    Bytes received(first.begin(), first.end());
    received.insert(received.end(), rest.begin(), rest.end());
    EXPECT_EQ(received, answer);
    EXPECT_GE(firstCame - sent, sim::WireTime(statusRead.size() + 1, c.baud) + c.turnaround);
    EXPECT_GE(lastCame - sent, sim::WireTime(statusRead.size() + answer.size(), c.baud) + c.turnaround + c.extra);
  }
}
