// The master over a real pseudo-terminal, with the test playing the driver
// byte by byte on the other end.
#include <gtest/gtest.h>
#include <time.h>

#include <atomic>
#include <cstring>
#include <future>
#include <thread>

#include "PtyPair.h"
#include "WireBytes.h"
#include "link/ModbusMaster.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

class MasterOnLine : public ::testing::Test {
 protected:
  PortsFolder ports;
  PtyPair pty;
  ModbusMaster link;

  void SetUp() override {
    ports.Map(1, pty.SlavePath());
    ASSERT_NE(link.OpenPort(1, 115200, Parity::None2), 0);
  }

  // The next request as the driver sees it.
  std::string Request(size_t length) { return Hex(ReadExactly(pty.Master(), length, 2s)); }
  void Reply(const std::vector<uint8_t>& bytes) { WriteAll(pty.Master(), bytes); }
  bool LineStaysQuiet() { return ReadExactly(pty.Master(), 1, 100ms).empty(); }

  template <typename F>
  std::future<ModbusResult> Start(F transaction) {
    return std::async(std::launch::async, transaction);
  }
};

TEST_F(MasterOnLine, ReadDeliversRegisterBytesAsReceived) {
  uint8_t dest[8];
  std::memset(dest, 0xEE, sizeof dest);
  uint16_t capacity = sizeof dest;
  auto done = Start([&] { return link.ReadHoldingRegisters(1, 0x0020, 4, dest, &capacity); });
  EXPECT_EQ(Request(8), Hex(WithCrc("01 03 00 20 00 04")));
  // Fewer data bytes than asked for: accepted, and only those are copied.
  const auto response = WithCrc("01 03 04 12 34 56 78");
  Reply(response);
  ASSERT_EQ(done.get(), ResultSuccess);
  EXPECT_EQ(capacity, 4);
  EXPECT_EQ(Hex(std::vector<uint8_t>(dest, dest + 8)), "12 34 56 78 EE EE EE EE");
  EXPECT_EQ(Hex(link.LastSentFrame()), Hex(WithCrc("01 03 00 20 00 04")));
  EXPECT_EQ(Hex(link.LastReceivedFrame()), Hex(response));
}

TEST_F(MasterOnLine, ReadCopiesNoMoreThanTheCapacity) {
  uint8_t dest[4] = {};
  uint16_t capacity = 2;
  auto done = Start([&] { return link.ReadHoldingRegisters(7, 0x0000, 2, dest, &capacity); });
  Request(8);
  Reply(WithCrc("07 03 04 AA BB CC DD"));
  ASSERT_EQ(done.get(), ResultSuccess);
  EXPECT_EQ(capacity, 2);
  EXPECT_EQ(Hex(std::vector<uint8_t>(dest, dest + 4)), "AA BB 00 00");
}

TEST_F(MasterOnLine, WritesSendValuesHighByteFirstAndReportTheEcho) {
  uint16_t address = 0, value = 0;
  auto single = Start([&] { return link.WriteSingleRegister(1, 0x0042, 0xFC18, &address, &value); });
  const auto request = WithCrc("01 06 00 42 FC 18");
  EXPECT_EQ(Request(8), Hex(request));
  Reply(request);
  ASSERT_EQ(single.get(), ResultSuccess);
  EXPECT_EQ(address, 0x0042);
  EXPECT_EQ(value, 0xFC18);

  const uint16_t words[] = {0x0001, 0x86A0, 0xBEEF};
  uint16_t start = 0, count = 0;
  auto multiple = Start([&] { return link.WriteMultipleRegisters(1, 0x0050, words, 3, &start, &count); });
  EXPECT_EQ(Request(15), Hex(WithCrc("01 10 00 50 00 03 06 00 01 86 A0 BE EF")));
  Reply(WithCrc("01 10 00 50 00 03"));
  ASSERT_EQ(multiple.get(), ResultSuccess);
  EXPECT_EQ(start, 0x0050);
  EXPECT_EQ(count, 3);
}

TEST_F(MasterOnLine, ExceptionResponsesGiveTheirCodeAndLeaveBuffersAlone) {
  for (const char* code : {"02", "40", "60"}) {
    uint8_t dest[4] = {9, 9, 9, 9};
    uint16_t capacity = 4;
    auto read = Start([&] { return link.ReadHoldingRegisters(1, 0x0060, 2, dest, &capacity); });
    Request(8);
    Reply(WithCrc(std::string("01 83 ") + code));
    EXPECT_EQ(read.get(), static_cast<ModbusResult>(std::stoi(code, nullptr, 16)));
    EXPECT_EQ(Hex(std::vector<uint8_t>(dest, dest + 4)), "09 09 09 09");
    EXPECT_EQ(capacity, 4);
  }
  uint16_t address = 0x1111, value = 0x2222;
  auto write = Start([&] { return link.WriteSingleRegister(1, 0x0043, 5, &address, &value); });
  Request(8);
  Reply(WithCrc("01 86 60"));
  EXPECT_EQ(write.get(), 0x60);
  EXPECT_EQ(address, 0x1111);
  EXPECT_EQ(value, 0x2222);
}

TEST_F(MasterOnLine, AWrongFunctionCodeIsABadResponse) {
  auto done = Start([&] { return link.ReadHoldingRegisters(1, 0x0020, 1); });
  Request(8);
  Reply(WithCrc("01 06 00 20 00 01"));
  EXPECT_EQ(done.get(), ResultBadResponse);
}

TEST_F(MasterOnLine, AnswersThatAreNotForUsEndInTimeOut) {
  const std::vector<uint8_t> answers[] = {
      WithCrc("02 03 02 00 01"),  // another slave
      {0x01, 0x03, 0x02, 0x00, 0x01, 0x00, 0x00},  // bad CRC
      {},  // silence
  };
  for (const auto& answer : answers) {
    const auto started = Clock::now();
    auto done = Start([&] { return link.ReadHoldingRegisters(1, 0x0020, 1); });
    Request(8);
    if (!answer.empty()) Reply(answer);
    EXPECT_EQ(done.get(), ResultTimeout) << Hex(answer);
    EXPECT_GE(Clock::now() - started, 450ms);
    EXPECT_EQ(Hex(link.LastReceivedFrame()), Hex(answer));
  }
}

TEST_F(MasterOnLine, AnswerInOneBytePiecesIsRecognised) {
  uint8_t dest[2] = {};
  uint16_t capacity = 2;
  auto done = Start([&] { return link.ReadHoldingRegisters(1, 0x0050, 1, dest, &capacity); });
  Request(8);
  for (uint8_t byte : WithCrc("01 03 02 01 F4")) {
    Reply({byte});
    std::this_thread::sleep_for(3ms);  // the gap between pieces is what is under test
  }
  ASSERT_EQ(done.get(), ResultSuccess);
  EXPECT_EQ(Hex(std::vector<uint8_t>(dest, dest + 2)), "01 F4");
}

TEST_F(MasterOnLine, LateBytesStayVisibleUntilTheNextTransaction) {
  auto first = Start([&] { return link.WriteSingleRegister(1, 0x0040, 0); });
  const auto echo = WithCrc("01 06 00 40 00 00");
  Request(8);
  Reply(echo);
  ASSERT_EQ(first.get(), ResultSuccess);

  Reply(Bytes("AA BB"));
  EXPECT_TRUE(WaitUntil([&] { return link.LastReceivedFrame().size() == echo.size() + 2; }));
  EXPECT_EQ(Hex(link.LastReceivedFrame()), Hex(echo) + " AA BB");

  auto second = Start([&] { return link.WriteSingleRegister(1, 0x0040, 1); });
  const auto echo2 = WithCrc("01 06 00 40 00 01");
  EXPECT_EQ(Request(8), Hex(echo2));
  Reply(echo2);
  ASSERT_EQ(second.get(), ResultSuccess);
  EXPECT_EQ(Hex(link.LastReceivedFrame()), Hex(echo2));
}

TEST_F(MasterOnLine, AfterATimeOutTheNextRequestWaitsForTheLineToFallQuiet) {
  // 1200 bit/s: the quiet gap is 32 ms, far above the 2 ms between pieces.
  link.ClosePort();
  ASSERT_NE(link.OpenPort(1, 1200, Parity::None2), 0);
  EXPECT_EQ(link.ReadHoldingRegisters(1, 0x0060, 4), ResultTimeout);
  Request(8);

  // The late answer is still coming in when the next read starts.
  std::atomic<bool> lateAnswerDone{false};
  std::thread late([&] {
    for (uint8_t byte : WithCrc("01 03 08 00 01 00 02 00 03 00 04")) {
      Reply({byte});
      std::this_thread::sleep_for(2ms);  // the pace of the late answer is the stimulus
    }
    lateAnswerDone = true;
  });
  ASSERT_TRUE(WaitUntil([&] { return !link.LastReceivedFrame().empty(); }));
  uint8_t dest[8] = {};
  uint16_t capacity = sizeof dest;
  auto next = Start([&] { return link.ReadHoldingRegisters(1, 0x0050, 4, dest, &capacity); });
  EXPECT_EQ(Request(8), Hex(WithCrc("01 03 00 50 00 04")));
  EXPECT_TRUE(lateAnswerDone) << "sent while the line still carried the late answer";
  late.join();
  const auto answer = WithCrc("01 03 08 00 0B 00 16 00 21 00 2C");
  Reply(answer);
  ASSERT_EQ(next.get(), ResultSuccess);
  EXPECT_EQ(Hex(std::vector<uint8_t>(dest, dest + 8)), "00 0B 00 16 00 21 00 2C");
  EXPECT_EQ(Hex(link.LastReceivedFrame()), Hex(answer)) << "what came before the request was dropped";
}

TEST_F(MasterOnLine, TwentySevenRegistersGoTwentyEightAreRefusedUnsent) {
  uint16_t words[28];
  for (uint16_t i = 0; i < 28; ++i) words[i] = i;
  auto done = Start([&] { return link.WriteMultipleRegisters(1, 0x0060, words, 27); });
  EXPECT_EQ(Request(63).size(), 63u * 3 - 1);
  Reply(WithCrc("01 10 00 60 00 1B"));
  ASSERT_EQ(done.get(), ResultSuccess);
  const auto sent = link.LastSentFrame();

  EXPECT_EQ(link.WriteMultipleRegisters(1, 0x0060, words, 28), ResultDataTooLong);
  EXPECT_EQ(link.WriteMultipleRegisters(1, 0x0060, nullptr, 1), ResultDataTooLong);
  EXPECT_TRUE(LineStaysQuiet());
  EXPECT_EQ(link.LastSentFrame(), sent);
}

TEST_F(MasterOnLine, ClosedPortRefusesBeforeSendingAnything) {
  link.ClosePort();
  uint8_t dest[2] = {5, 5};
  uint16_t capacity = 2;
  EXPECT_EQ(link.ReadHoldingRegisters(1, 0x20, 1, dest, &capacity), ResultPortNotOpen);
  EXPECT_EQ(link.WriteSingleRegister(1, 0x40, 1), ResultPortNotOpen);
  const uint16_t word = 1;
  EXPECT_EQ(link.WriteMultipleRegisters(1, 0x50, &word, 1), ResultPortNotOpen);
  std::string text = "kept";
  EXPECT_EQ(link.ReadDeviceIdentificationText(1, text), ResultPortNotOpen);
  EXPECT_EQ(text, "kept");
  EXPECT_EQ(dest[0], 5);
  EXPECT_TRUE(link.LastSentFrame().empty());
  EXPECT_TRUE(LineStaysQuiet());
}

TEST_F(MasterOnLine, ClosingWhileATransactionWaitsEndsItWithTimeOut) {
  const auto started = Clock::now();
  auto done = Start([&] { return link.ReadHoldingRegisters(1, 0x0020, 22); });
  Request(8);
  link.ClosePort();
  EXPECT_EQ(done.get(), ResultTimeout);
  // Woken by the close: without the wake-up it would wait out its time-out.
  EXPECT_LT(Clock::now() - started, ModbusMaster::ResponseTimeout);
  EXPECT_FALSE(link.IsOpen());
}

// Also the statistics: two threads' transactions all count, and a third
// thread that copies them meanwhile never sees a torn copy.
TEST_F(MasterOnLine, ConcurrentTransactionsNeverInterleaveOnTheLineAndAllCount) {
  // The driver echoes every write-single request; a frame mixed from two
  // requests would fail its CRC here.
  std::atomic<bool> stop{false};
  std::atomic<int> badFrames{0}, answered{0};
  std::thread driver([&] {
    while (!stop) {
      const std::string request = ReadExactly(pty.Master(), 8, 50ms);
      if (request.size() != 8) continue;
      const std::vector<uint8_t> frame(request.begin(), request.end());
      if (!FrameCheck(frame.data(), frame.size(), 1)) {
        ++badFrames;
        continue;
      }
      WriteAll(pty.Master(), frame);
      ++answered;
    }
  });
  auto worker = [&](uint16_t base) {
    int mismatches = 0;
    for (uint16_t i = 0; i < 100; ++i) {
      uint16_t echoed = 0;
      if (link.WriteSingleRegister(1, 0x00AA, static_cast<uint16_t>(base + i), nullptr, &echoed) != ResultSuccess ||
          echoed != base + i) {
        ++mismatches;
      }
    }
    return mismatches;
  };
  std::atomic<bool> workersDone{false};
  auto watcher = std::async(std::launch::async, [&] {
    int tornCopies = 0;
    uint64_t seen = 0;
    while (!workersDone) {
      const LinkStatistics copy = link.Statistics();
      const bool whole = copy.transactions == copy.successes + copy.timeouts + copy.badResponses + copy.exceptions &&
                         copy.transactions >= seen &&
                         (copy.Answered() == 0 || copy.totalRoundTrip >= copy.lastRoundTrip);
      if (!whole) ++tornCopies;
      seen = copy.transactions;
    }
    return tornCopies;
  });
  auto a = std::async(std::launch::async, worker, 0x1000);
  auto b = std::async(std::launch::async, worker, 0x2000);
  EXPECT_EQ(a.get(), 0);
  EXPECT_EQ(b.get(), 0);
  workersDone = true;
  EXPECT_EQ(watcher.get(), 0);
  stop = true;
  driver.join();
  EXPECT_EQ(badFrames, 0);
  EXPECT_EQ(answered, 200);
  const LinkStatistics totals = link.Statistics();
  EXPECT_EQ(totals.transactions, 200u);
  EXPECT_EQ(totals.successes, 200u);
}

// Each way a transaction ends counts once, answers with their round trip;
// a new open starts from nothing, and refusals that send nothing never count.
TEST_F(MasterOnLine, StatisticsCountEachEndSinceThePortWasOpened) {
  struct Case {
    const char* reply;  // nullptr: silence
    ModbusResult result;
  };
  const Case cases[] = {
      {"01 03 02 00 07", ResultSuccess},
      {"01 83 02", 0x02},
      {"01 86 60", ResultBadResponse},  // another function's exception
      {nullptr, ResultTimeout},
      {"01 03 02 00 08", ResultSuccess},
  };
  for (const Case& c : cases) {
    auto done = Start([&] { return link.ReadHoldingRegisters(1, 0x0020, 1); });
    Request(8);
    if (c.reply != nullptr) Reply(WithCrc(c.reply));
    EXPECT_EQ(done.get(), c.result) << (c.reply ? c.reply : "silence");
  }
  EXPECT_EQ(link.WriteMultipleRegisters(1, 0x0060, nullptr, 1), ResultDataTooLong);
  const LinkStatistics counted = link.Statistics();
  EXPECT_EQ(counted.transactions, 5u);
  EXPECT_EQ(counted.successes, 2u);
  EXPECT_EQ(counted.exceptions, 1u);
  EXPECT_EQ(counted.badResponses, 1u);
  EXPECT_EQ(counted.timeouts, 1u);
  EXPECT_GT(counted.lastRoundTrip.count(), 0);
  // The time-out's 500 ms is not an answer's round trip.
  EXPECT_LT(counted.totalRoundTrip, ModbusMaster::ResponseTimeout);

  link.ClosePort();
  EXPECT_EQ(link.ReadHoldingRegisters(1, 0x0020, 1), ResultPortNotOpen);
  EXPECT_EQ(link.Statistics().transactions, 5u) << "kept while closed";
  ASSERT_NE(link.OpenPort(1, 115200, Parity::None2), 0);
  const LinkStatistics fresh = link.Statistics();
  EXPECT_EQ(fresh.transactions, 0u);
  EXPECT_EQ(fresh.lastRoundTrip.count(), 0);
  EXPECT_EQ(fresh.MeanRoundTrip().count(), 0);
}

TEST_F(MasterOnLine, OverlongAnswersAndLyingCountsStayInsideTheBuffer) {
  // More than the buffer holds: the excess is dropped and no frame is accepted.
  auto flood = Start([&] { return link.ReadHoldingRegisters(1, 0x0020, 1); });
  Request(8);
  Reply(std::vector<uint8_t>(300, 0x01));
  EXPECT_EQ(flood.get(), ResultTimeout);
  EXPECT_EQ(link.LastReceivedFrame().size(), MaxReceiveLength);

  // A byte count larger than the frame: never complete.
  uint8_t dest[255];
  uint16_t capacity = sizeof dest;
  auto lying = Start([&] { return link.ReadHoldingRegisters(1, 0x0020, 2, dest, &capacity); });
  Request(8);
  Reply(WithCrc("01 03 FF 00 01 00 02"));
  EXPECT_EQ(lying.get(), ResultTimeout);
  EXPECT_EQ(capacity, sizeof dest);
}

std::vector<uint8_t> IdAnswer(const std::string& moreFollows, const std::string& next, const std::string& objects) {
  return WithCrc("01 2B 0E 01 01 " + moreFollows + " " + next + " 00 " + objects);
}

TEST_F(MasterOnLine, IdentificationFollowsMoreFollowsAndNamesEveryObject) {
  std::string text;
  auto done = Start([&] { return link.ReadDeviceIdentificationText(1, text); });
  EXPECT_EQ(Request(7), Hex(WithCrc("01 2B 0E 01 00")));
  // "KV", "M1" (its value cut at a NUL), then more from object 7.
  Reply(IdAnswer("FF", "07", "00 02 4B 56 01 04 4D 31 00 58"));
  EXPECT_EQ(Request(7), Hex(WithCrc("01 2B 0E 01 07")));
  Reply(IdAnswer("00", "00", "07 03 41 42 43 2A 01 5A"));
  ASSERT_EQ(done.get(), ResultSuccess);
  EXPECT_EQ(text, "公司名称:KV\r\n产品代码:M1\r\n扩展描述:ABC\r\n扩展描述:Z");
}

TEST_F(MasterOnLine, IdentificationTrustsNoObjectLengthBeyondTheAnswer) {
  // An answer is judged where its objects end: one that says 200 bytes and
  // carries 2, or one too short to hold its header, never ends.
  std::string text = "kept";
  auto done = Start([&] { return link.ReadDeviceIdentificationText(1, text); });
  Request(7);
  Reply(IdAnswer("00", "00", "04 C8 41 42"));
  EXPECT_EQ(done.get(), ResultTimeout);

  auto empty = Start([&] { return link.ReadDeviceIdentificationText(1, text); });
  Request(7);
  Reply(WithCrc("01 2B 0E 01"));
  EXPECT_EQ(empty.get(), ResultTimeout);
  EXPECT_EQ(text, "kept");
}

TEST_F(MasterOnLine, IdentificationExceptionLeavesTheTextAlone) {
  std::string text = "before";
  auto done = Start([&] { return link.ReadDeviceIdentificationText(1, text); });
  Request(7);
  Reply(WithCrc("01 AB 01"));
  EXPECT_EQ(done.get(), 0x01);
  EXPECT_EQ(text, "before");
}

TEST_F(MasterOnLine, IdentificationLoopIsBounded) {
  // A driver that names an object already asked for ends the loop at once.
  std::string text;
  auto repeat = Start([&] { return link.ReadDeviceIdentificationText(1, text); });
  Request(7);
  Reply(IdAnswer("FF", "03", "00 01 41"));
  EXPECT_EQ(Request(7), Hex(WithCrc("01 2B 0E 01 03")));
  Reply(IdAnswer("FF", "03", "03 01 42"));
  ASSERT_EQ(repeat.get(), ResultSuccess);
  EXPECT_EQ(text, "公司名称:A\r\n供应商网址:B");

  // One that always points at a new object stops after the request limit.
  int requests = 0;
  auto endless = Start([&] { return link.ReadDeviceIdentificationText(1, text); });
  for (;;) {
    const std::string request = ReadExactly(pty.Master(), 7, 1s);
    if (request.size() != 7) break;
    ++requests;
    char next[4];
    std::snprintf(next, sizeof next, "%02X", (static_cast<uint8_t>(request[4]) + 1) & 0xFF);
    Reply(IdAnswer("FF", next, ""));
  }
  EXPECT_EQ(endless.get(), ResultSuccess);
  EXPECT_EQ(requests, ModbusMaster::MaxIdentificationRequests);
}

double ProcessCpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

TEST_F(MasterOnLine, PortThatDisappearsNeitherSpinsNorBlocksClose) {
  pty.Hangup();
  EXPECT_TRUE(WaitUntil([&] { return link.PortLost(); })) << "noticed without a transaction";
  const double before = ProcessCpuSeconds();
  EXPECT_EQ(link.ReadHoldingRegisters(1, 0x0020, 1), ResultTimeout);
  std::this_thread::sleep_for(300ms);  // a spinning reader would burn this whole time
  EXPECT_LT(ProcessCpuSeconds() - before, 0.2);
  link.ClosePort();
  EXPECT_FALSE(link.IsOpen());
  EXPECT_FALSE(link.PortLost());

  // The device comes back (as a new line under the same COM number).
  PtyPair replugged;
  ports.Map(1, replugged.SlavePath());
  ASSERT_NE(link.OpenPort(1, 9600, Parity::None2), 0);
  auto done = std::async(std::launch::async, [&] { return link.WriteSingleRegister(1, 0x40, 2); });
  const auto request = WithCrc("01 06 00 40 00 02");
  EXPECT_EQ(Hex(ReadExactly(replugged.Master(), 8, 2s)), Hex(request));
  WriteAll(replugged.Master(), request);
  EXPECT_EQ(done.get(), ResultSuccess);
}

}  // namespace
