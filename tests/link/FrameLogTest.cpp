// The frame log of a real link on a pseudo-terminal, the simulated driver
// at the other end.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>

#include "PtyPair.h"
#include "WireBytes.h"
#include "link/ModbusMaster.h"
#include "sim/SimulatedDriver.h"
#include "sim/SlaveServer.h"

namespace {

using namespace std::chrono_literals;
using Dir = FrameDirection;

std::vector<uint8_t> BytesOf(const FrameLogBatch& batch, const LoggedFrame& frame) {
  const auto bytes = batch.BytesOf(frame);
  return {bytes.begin(), bytes.end()};
}

class FrameLogOnLine : public ::testing::Test {
 protected:
  PortsFolder ports;
  PtyPair pty;
  sim::SimulatedDriver driver{sim::DriverOptions{.learned = true}};
  sim::SlaveServer server{driver, pty.Master()};
  ModbusMaster link;
  std::shared_ptr<FrameLog> log = std::make_shared<FrameLog>();

  void SetUp() override {
    ports.Map(1, pty.SlavePath());
    ASSERT_NE(link.OpenPort(1, 115200, 0), 0);
    link.AttachFrameLog(log, 7);
  }
};

TEST_F(FrameLogOnLine, RecordsRequestsAnswersATimeOutAndTheLateAnswerAfterIt) {
  const int64_t before = WallMicrosNow();
  ASSERT_EQ(link.ReadHoldingRegisters(1, 0x0020, 22), ResultSuccess);
  const auto answer = link.LastReceivedFrame();
  ASSERT_TRUE(link.SetResponseTimeout(40ms));
  driver.SetFault(sim::Fault::Delayed(150ms, 1));
  EXPECT_EQ(link.ReadHoldingRegisters(1, 0x0050, 4), ResultTimeout);
  // The late answer (13 bytes) comes to the reader, perhaps in pieces.
  FrameLogBatch batch;
  ASSERT_TRUE(WaitUntil([&] {
    log->Read(3, batch);
    size_t late = 0;
    for (const LoggedFrame& f : batch.frames) late += f.length;
    return late == 13;
  }));
  const auto lateFrame = batch.frames.front();
  log->Read(0, batch);
  ASSERT_GE(batch.frames.size(), 4u);
  struct Row {
    Dir direction;
    uint64_t transaction;
    ModbusResult result;
    std::vector<uint8_t> bytes;
  };
  const Row rows[] = {
      {Dir::Request, 1, ResultSuccess, WithCrc("01 03 00 20 00 16")},
      {Dir::Answer, 1, ResultSuccess, answer},
      {Dir::Request, 2, ResultTimeout, WithCrc("01 03 00 50 00 04")},
  };
  for (size_t i = 0; i < 3; ++i) {
    const LoggedFrame& f = batch.frames[i];
    EXPECT_EQ(f.sequence, i + 1);
    EXPECT_EQ(f.direction, rows[i].direction);
    EXPECT_EQ(f.transaction, rows[i].transaction);
    EXPECT_EQ(f.result, rows[i].result);
    EXPECT_EQ(f.link, 7);
    EXPECT_EQ(Hex(BytesOf(batch, f)), Hex(rows[i].bytes));
    EXPECT_GE(f.time.wallMicros, before);
    EXPECT_LE(f.time.wallMicros, WallMicrosNow());
  }
  EXPECT_EQ(batch.frames[0].roundTrip, batch.frames[1].roundTrip);
  EXPECT_GT(batch.frames[1].roundTrip.count(), 0);
  EXPECT_GE(batch.frames[2].roundTrip, 40ms);
  EXPECT_LE(batch.frames[0].time.monotonic, batch.frames[1].time.monotonic) << "sent before it was answered";
  EXPECT_EQ(lateFrame.direction, Dir::Unsolicited);
  EXPECT_EQ(lateFrame.transaction, 0u);
  EXPECT_GE(lateFrame.time.monotonic - batch.frames[2].time.monotonic, 150ms) << "when it came, not when it was asked";
}

TEST_F(FrameLogOnLine, KeepsTheNewestFramesWithinBothBoundsAndCountsWhatAReaderLost) {
  auto small = std::make_shared<FrameLog>(6);
  link.AttachFrameLog(small);
  for (int i = 0; i < 5; ++i) ASSERT_EQ(link.ReadHoldingRegisters(1, 0x0020, 1), ResultSuccess);
  FrameLogBatch batch;
  small->Read(0, batch);
  EXPECT_EQ(small->Count(), 6u);
  EXPECT_EQ(batch.lost, 4u);
  ASSERT_EQ(batch.frames.size(), 6u);
  EXPECT_EQ(batch.frames.front().sequence, 5u);
  EXPECT_EQ(batch.frames.front().transaction, 3u);
  EXPECT_EQ(batch.last, 10u);
  small->Read(batch.last, batch);
  EXPECT_TRUE(batch.frames.empty());
  EXPECT_EQ(batch.lost, 0u);

  // 8 + 49 bytes a status read, 512 bytes of room: fewer frames than slots.
  auto narrow = std::make_shared<FrameLog>(1000, 512);
  const size_t memory = narrow->MemoryBytes();
  link.AttachFrameLog(narrow);
  for (int i = 0; i < 20; ++i) ASSERT_EQ(link.ReadHoldingRegisters(1, 0x0020, 22), ResultSuccess);
  narrow->Read(0, batch);
  EXPECT_EQ(batch.lost + batch.frames.size(), 40u);
  EXPECT_LE(batch.bytes.size(), 512u);
  EXPECT_GT(batch.bytes.size(), 512u - 57u);
  EXPECT_EQ(narrow->MemoryBytes(), memory);

  link.AttachFrameLog(nullptr);
  ASSERT_EQ(link.ReadHoldingRegisters(1, 0x0020, 1), ResultSuccess);
  EXPECT_EQ(narrow->LastSequence(), 40u) << "recorded after the log was detached";
}

TEST_F(FrameLogOnLine, AReaderOnAnotherThreadGetsEveryFrameOnceAndInOrder) {
  std::atomic<bool> done{false};
  auto reader = std::async(std::launch::async, [&] {
    FrameLogBatch batch;
    uint64_t after = 0, frames = 0, lost = 0, misplaced = 0;
    for (bool last = false; !last;) {
      last = done;
      do {
        log->Read(after, batch, 16);
        lost += batch.lost;
        for (const LoggedFrame& f : batch.frames) {
          misplaced += f.sequence != after + 1 || f.transaction != (f.sequence + 1) / 2;
          after = f.sequence;
          ++frames;
        }
      } while (batch.more);
      std::this_thread::sleep_for(1ms);  // a window's timer, only faster
    }
    return std::array<uint64_t, 3>{frames, lost, misplaced};
  });
  for (int i = 0; i < 100; ++i) ASSERT_EQ(link.WriteSingleRegister(1, 0x0050, static_cast<uint16_t>(i)), ResultSuccess);
  done = true;
  EXPECT_EQ(reader.get(), (std::array<uint64_t, 3>{200, 0, 0}));
}

}  // namespace
