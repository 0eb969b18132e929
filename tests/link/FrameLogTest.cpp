// The frame log and the response time-out of a real link on a
// pseudo-terminal, the simulated driver at the other end.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "LinkOnSimulator.h"
#include "WireBytes.h"
#include "link/ModbusMaster.h"

namespace {

using namespace std::chrono_literals;

class FrameLogOnLine : public LinkOnSimulator<ModbusMaster> {
 protected:
  FrameLogOnLine() : LinkOnSimulator(115200) {}

  std::shared_ptr<FrameLog> log = std::make_shared<FrameLog>();
  FrameLogBatch batch;

  void SetUp() override {
    LinkOnSimulator::SetUp();
    link.AttachFrameLog(log, 7);
  }
  // Direction, transaction, result, link tag and bytes of a frame.
  std::string Row(const LoggedFrame& f) {
    const auto bytes = batch.BytesOf(f);
    return "RAU"[static_cast<int>(f.direction)] + std::to_string(f.transaction) + " " + std::to_string(f.result) +
           " " + std::to_string(f.link) + " " + Hex(std::vector<uint8_t>(bytes.begin(), bytes.end()));
  }
};

TEST_F(FrameLogOnLine, RecordsRequestsAnswersATimeOutAtTheLinksSettingAndTheLateAnswerAfterIt) {
  EXPECT_FALSE(link.SetResponseTimeout(0ms));
  EXPECT_FALSE(link.SetResponseTimeout(ModbusMaster::MaxResponseTimeout + 1us));
  const int64_t before = WallMicrosNow();
  ASSERT_EQ(link.ReadHoldingRegisters(1, 0x0020, 22), ResultSuccess);
  const auto answer = link.LastReceivedFrame();
  ASSERT_TRUE(link.SetResponseTimeout(40ms));
  driver.SetFault(sim::Fault::Delayed(150ms, 1));  // silent until long after the time-out
  EXPECT_EQ(link.ReadHoldingRegisters(1, 0x0050, 4), ResultTimeout);
  // The late answer's 13 bytes come to the reader, perhaps in pieces.
  ASSERT_TRUE(WaitUntil([&] { return log->Read(3, batch), batch.bytes.size() == 13; }));
  const LoggedFrame late = batch.frames.front();
  EXPECT_EQ(Row(late).substr(0, 10), "U0 0 7 01 ");
  log->Read(0, batch);
  const std::string rows[] = {"R1 0 7 " + Hex(WithCrc("01 03 00 20 00 16")), "A1 0 7 " + Hex(answer),
                              "R2 130 7 " + Hex(WithCrc("01 03 00 50 00 04"))};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(batch.frames[i].sequence, i + 1);
    EXPECT_EQ(Row(batch.frames[i]), rows[i]);
    EXPECT_GE(batch.frames[i].time.wallMicros, before);
    EXPECT_LE(batch.frames[i].time.wallMicros, WallMicrosNow());
  }
  EXPECT_EQ(batch.frames[0].roundTrip, batch.frames[1].roundTrip);
  EXPECT_GT(batch.frames[1].roundTrip.count(), 0);
  EXPECT_GE(batch.frames[2].roundTrip, 40ms);
  EXPECT_LT(batch.frames[2].roundTrip, ModbusMaster::ResponseTimeout) << "waited for the default";
  EXPECT_LE(batch.frames[0].time.monotonic, batch.frames[1].time.monotonic) << "sent before it was answered";
  EXPECT_GE(late.time.monotonic - batch.frames[2].time.monotonic, 150ms) << "stamped when it came";
}

TEST_F(FrameLogOnLine, KeepsTheNewestFramesWithinBothBoundsAndCountsWhatAReaderLost) {
  // A read of one register is 8 + 7 bytes, of 22 registers 8 + 49: the
  // newest 18 frames are 513 bytes of the smallest log's 520.
  struct Case {
    size_t frames, bytes;
    uint16_t registers;
    size_t lost, kept;  // of 20 transactions
  } const cases[] = {{6, 4096, 1, 34, 6}, {1000, 520, 22, 22, 18}};
  for (const Case& c : cases) {
    auto small = std::make_shared<FrameLog>(c.frames, c.bytes);
    const size_t memory = small->MemoryBytes();
    link.AttachFrameLog(small);
    for (int i = 0; i < 20; ++i) ASSERT_EQ(link.ReadHoldingRegisters(1, 0x0020, c.registers), ResultSuccess);
    small->Read(0, batch);
    EXPECT_EQ(batch.lost, c.lost);
    ASSERT_EQ(batch.frames.size(), c.kept);
    EXPECT_EQ(batch.frames.front().sequence, c.lost + 1);
    EXPECT_LE(batch.bytes.size(), c.bytes);
    EXPECT_EQ(small->MemoryBytes(), memory);
    small->Read(batch.last, batch);
    EXPECT_TRUE(batch.frames.empty() && batch.lost == 0);
  }
  EXPECT_EQ(log->LastSequence(), 0u) << "recorded in a log replaced before";
}

TEST_F(FrameLogOnLine, AReaderOnAnotherThreadGetsEveryFrameOnceAndInOrder) {
  std::atomic<bool> done{false};
  auto reader = std::async(std::launch::async, [&] {
    FrameLogBatch copy;
    uint64_t after = 0, frames = 0, lost = 0, misplaced = 0;
    for (bool last = false; !last; std::this_thread::sleep_for(1ms)) {  // a window's timer, only faster
      last = done;
      do {
        log->Read(after, copy, 16);
        lost += copy.lost;
        for (const LoggedFrame& f : copy.frames) {
          misplaced += f.sequence != ++after || f.transaction != (f.sequence + 1) / 2;
          ++frames;
        }
      } while (copy.more);
    }
    return std::array<uint64_t, 3>{frames, lost, misplaced};
  });
  for (int i = 0; i < 100; ++i) ASSERT_EQ(link.WriteSingleRegister(1, 0x0050, static_cast<uint16_t>(i)), ResultSuccess);
  done = true;
  EXPECT_EQ(reader.get(), (std::array<uint64_t, 3>{200, 0, 0}));
}

}  // namespace
