// The serving thread on a real pseudo-terminal: how it finds the end of a
// request, how it sends delayed and piecewise answers, and how it behaves
// when idle, when the line hangs up and when it is stopped mid-answer.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/resource.h>
#include <unistd.h>

#include <thread>

#include "PtyPair.h"
#include "SimTestSupport.h"
#include "base/UniqueFd.h"
#include "sim/SlaveServer.h"

using namespace simtest;
using namespace std::chrono_literals;

namespace {

UniqueFd OpenPort(const std::string& path) { return UniqueFd(open(path.c_str(), O_RDWR | O_NOCTTY)); }

void Send(int fd, const Bytes& bytes) { ASSERT_EQ(write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size())); }

Bytes Receive(int fd, size_t count, std::chrono::milliseconds timeout) {
  const std::string text = ReadExactly(fd, count, timeout);
  return Bytes(text.begin(), text.end());
}

std::chrono::milliseconds ProcessCpuTime() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto micros = [](const timeval& t) { return std::chrono::microseconds(t.tv_sec * 1000000LL + t.tv_usec); };
  return std::chrono::duration_cast<std::chrono::milliseconds>(micros(usage.ru_utime) + micros(usage.ru_stime));
}

const Bytes kReadRamp = Read(1, 0x0050, 4);
const Bytes kRampAnswer = sim::SimulatedDriver().Respond(kReadRamp);

}  // namespace

TEST(SlaveServer, AnswersRequestsFoundByTheirLength) {
  PtyPair pty;
  sim::SimulatedDriver driver;
  sim::SlaveServer server(driver, pty.Master());
  UniqueFd port = OpenPort(pty.SlavePath());
  ASSERT_TRUE(port.Valid());

  Send(port.Get(), kReadRamp);
  EXPECT_EQ(Receive(port.Get(), kRampAnswer.size(), 2000ms), kRampAnswer);

  // Two requests in one burst are told apart by their lengths.
  Bytes burst = WriteOne(1, 0x0050, 8);
  const Bytes second = WriteMany(1, 0x0051, {9, 10});
  burst.insert(burst.end(), second.begin(), second.end());
  Send(port.Get(), burst);
  const Bytes answers = Receive(port.Get(), 16, 2000ms);
  ASSERT_EQ(answers.size(), 16u);
  EXPECT_TRUE(std::equal(answers.begin(), answers.begin() + 8, burst.begin()));
  EXPECT_EQ(driver.Register(0x0052), 10);
}

TEST(SlaveServer, JudgesARequestOfUnknownLengthWhenTheLineFallsSilent) {
  PtyPair pty;
  sim::SimulatedDriver driver;
  sim::SlaveServer server(driver, pty.Master());
  UniqueFd port = OpenPort(pty.SlavePath());
  Send(port.Get(), Sealed({1, 0x41, 0x12, 0x34}));
  EXPECT_EQ(Receive(port.Get(), 5, 2000ms), Sealed({1, 0xC1, 0x01}));
}

TEST(SlaveServer, DropsABrokenFrameAndWhatFollowsUntilTheLineFallsSilent) {
  PtyPair pty;
  sim::SimulatedDriver driver;
  sim::SlaveServer server(driver, pty.Master());
  UniqueFd port = OpenPort(pty.SlavePath());
  Bytes noisy = {0x01, 0x03, 0x00, 0x50, 0x00, 0x04, 0x00, 0x00};
  noisy.insert(noisy.end(), kReadRamp.begin(), kReadRamp.end());
  Send(port.Get(), noisy);
  EXPECT_TRUE(Receive(port.Get(), 1, 200ms).empty());
  EXPECT_EQ(driver.RequestCount(), 0u);

  Send(port.Get(), kReadRamp);
  EXPECT_EQ(Receive(port.Get(), kRampAnswer.size(), 2000ms), kRampAnswer);
}

TEST(SlaveServer, SendsAPiecewiseAnswerOneByteAtATime) {
  PtyPair pty;
  sim::SimulatedDriver driver;
  driver.SetFault(sim::Fault::InPieces(10ms));
  sim::SlaveServer server(driver, pty.Master());
  UniqueFd port = OpenPort(pty.SlavePath());
  Send(port.Get(), kReadRamp);

  Bytes received;
  int chunks = 0;
  std::chrono::steady_clock::time_point first;
  while (received.size() < kRampAnswer.size()) {
    const Bytes piece = Receive(port.Get(), 1, 2000ms);
    ASSERT_EQ(piece.size(), 1u) << "answer incomplete";
    if (chunks++ == 0) first = std::chrono::steady_clock::now();
    received.insert(received.end(), piece.begin(), piece.end());
  }
  const auto spread = std::chrono::steady_clock::now() - first;
  EXPECT_EQ(received, kRampAnswer);
  EXPECT_GE(spread, 10ms * (kRampAnswer.size() - 1) * 9 / 10);
}

TEST(SlaveServer, DelaysAnAnswerAndStopsPromptlyInTheMiddleOfOne) {
  PtyPair pty;
  sim::SimulatedDriver driver;
  driver.SetFault(sim::Fault::Delayed(300ms, 1));
  auto server = std::make_unique<sim::SlaveServer>(driver, pty.Master());
  UniqueFd port = OpenPort(pty.SlavePath());
  const auto sent = std::chrono::steady_clock::now();
  Send(port.Get(), kReadRamp);
  EXPECT_TRUE(Receive(port.Get(), 1, 150ms).empty()) << "not before its delay";
  EXPECT_EQ(Receive(port.Get(), kRampAnswer.size(), 3000ms), kRampAnswer);
  EXPECT_GE(std::chrono::steady_clock::now() - sent, 300ms);

  driver.SetFault(sim::Fault::Delayed(30s));
  Send(port.Get(), kReadRamp);
  ASSERT_TRUE(WaitUntil([&] { return driver.RequestCount() == 2; }));
  const auto stopping = std::chrono::steady_clock::now();
  server.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - stopping, 1s);
  EXPECT_TRUE(Receive(port.Get(), 1, 100ms).empty()) << "the stopped answer is not sent";
}

TEST(SlaveServer, IdlesWithoutCpuAndOutlivesAHungUpLine) {
  int master = -1;
  int slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  UniqueFd masterFd(master);
  close(slave);  // nobody on the other side: the master reports a hang-up

  sim::SimulatedDriver driver;
  sim::SlaveServer server(driver, masterFd.Get());
  const auto cpuBefore = ProcessCpuTime();
  std::this_thread::sleep_for(500ms);  // the window in which CPU use is measured
  EXPECT_LT(ProcessCpuTime() - cpuBefore, 100ms) << "serving a hung-up line must not spin";

  UniqueFd port = OpenPort(name);
  ASSERT_TRUE(port.Valid());
  termios settings{};
  tcgetattr(port.Get(), &settings);
  cfmakeraw(&settings);
  tcsetattr(port.Get(), TCSANOW, &settings);
  Send(port.Get(), kReadRamp);
  EXPECT_EQ(Receive(port.Get(), kRampAnswer.size(), 3000ms), kRampAnswer) << "serves again once a port opens";

  const auto idleBefore = ProcessCpuTime();
  std::this_thread::sleep_for(300ms);
  EXPECT_LT(ProcessCpuTime() - idleBefore, 60ms) << "an idle line costs nothing";
}

TEST(SlaveServer, ServesABusOfDriversEachWithItsOwnRegisters) {
  PtyPair pty;
  sim::SimulatedDriver one(sim::DriverOptions{.address = 1});
  sim::SimulatedDriver two(sim::DriverOptions{.address = 2});
  sim::SimulatedDriver five(sim::DriverOptions{.address = 5});
  sim::SlaveServer server({{&one}, {&two}, {&five}}, pty.Master(), {});
  UniqueFd port = OpenPort(pty.SlavePath());
  const auto word = [](uint8_t slave, uint16_t value) {
    return Sealed({slave, 0x03, 0x02, static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)});
  };
  const uint16_t factory = one.Register(0x0051);
  // Each request is followed by a read of address 1, whose answer must be
  // the next bytes on the line: a request left unanswered leaves nothing.
  const struct {
    const char* what;
    Bytes request;
    Bytes answer;  // empty: no driver answers
    uint16_t probe;  // register 0x0051 of address 1 afterwards
  } cases[] = {
      {"a write to 2", WriteOne(2, 0x0051, 7), WriteOne(2, 0x0051, 7), factory},
      {"2 keeps it", Read(2, 0x0051, 1), word(2, 7), factory},
      {"5 has its own", Read(5, 0x0051, 1), word(5, factory), factory},
      {"no driver at 3", Read(3, 0x0051, 1), {}, factory},
      {"a broadcast write", WriteOne(0, 0x0051, 9), {}, 9},
      {"reached 2", Read(2, 0x0051, 1), word(2, 9), 9},
      {"and 5", Read(5, 0x0051, 1), word(5, 9), 9},
      {"a broadcast read", Read(0, 0x0051, 1), {}, 9},
  };
  for (const auto& c : cases) {
    Send(port.Get(), c.request);
    if (!c.answer.empty()) {
      EXPECT_EQ(Receive(port.Get(), c.answer.size(), 2000ms), c.answer) << c.what;
    }
    Send(port.Get(), Read(1, 0x0051, 1));
    EXPECT_EQ(Receive(port.Get(), 7, 2000ms), word(1, c.probe)) << c.what;
  }
  EXPECT_EQ(five.RequestCount(), 3u) << "its two reads and the broadcast write";

  // Two drivers answering one request garble each other's answer.
  two.SetFault(sim::Fault::Of(sim::FaultKind::AnyAddress));
  Send(port.Get(), Read(1, 0x0051, 1));
  const Bytes collided = Receive(port.Get(), 7, 2000ms);
  ASSERT_EQ(collided.size(), 7u);
  EXPECT_FALSE(FrameCheck(collided.data(), collided.size(), 1));
}

TEST(SlaveServer, ADriverThatIsAnsweringDoesNotHearTheLineOthersDo) {
  PtyPair pty;
  sim::SimulatedDriver slow(sim::DriverOptions{.address = 1});
  sim::SimulatedDriver fast(sim::DriverOptions{.address = 2});
  sim::SlaveServer server({{&slow, 50ms}, {&fast, 1ms}}, pty.Master(),
                          sim::LineOptions{.settings = {115200, Parity::None2}, .wire = true});
  UniqueFd port = OpenPort(pty.SlavePath());
  const Bytes first = WriteOne(1, 0x0051, 7);
  // While 1 turns round: again to 1, which it misses, and to 2, which
  // answers once 1 has.
  Bytes burst = first;
  for (const Bytes& more : {WriteOne(1, 0x0051, 8), WriteOne(2, 0x0051, 9)}) burst.insert(burst.end(), more.begin(), more.end());
  Send(port.Get(), burst);
  Bytes expected = first;
  const Bytes second = WriteOne(2, 0x0051, 9);
  expected.insert(expected.end(), second.begin(), second.end());
  EXPECT_EQ(Receive(port.Get(), expected.size(), 3000ms), expected);
  EXPECT_EQ(slow.Register(0x0051), 7) << "the write it did not hear";
  EXPECT_EQ(fast.Register(0x0051), 9);
  // Heard again once it has answered.
  Send(port.Get(), WriteOne(1, 0x0051, 10));
  EXPECT_EQ(Receive(port.Get(), 8, 3000ms), WriteOne(1, 0x0051, 10));
}
