// The view over a frame log when the log is full: rows whose frames went
// leave from the front, an answer goes with its request, a view that fell
// behind counts what it lost, and a row described on its own reads as it
// did in order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "WireBytes.h"
#include "traffic/LogView.h"

namespace {

const std::vector<uint8_t> kStatusRead = WithCrc("01 03 00 20 00 16");
const std::vector<uint8_t> kStatus = WithCrc(
    "01 03 2C 00 64 00 32 00 0A 00 01 00 00 01 F4 00 00 00 00 0C E4 06 72 00 0B 00 75 00 01 00 01 "
    "00 00 00 00 00 00 00 00 00 00 00 00 FF FF 00 00");
const std::vector<uint8_t> kRampRead = WithCrc("01 03 00 50 00 04");
const std::vector<uint8_t> kNoise = {0x01, 0x02, 0x03};

// T: a status read answered; F: a ramp read that timed out (a request
// alone); U: noise between transactions.
void Record(FrameLog& log, const std::string& events) {
  for (char event : events) {
    const Stamp now = Stamp::Now();
    if (event == 'U') {
      log.RecordUnsolicited(0, kNoise.data(), kNoise.size(), now);
      continue;
    }
    const bool answered = event == 'T';
    const std::vector<uint8_t>& request = answered ? kStatusRead : kRampRead;
    log.RecordTransaction({.request = request.data(),
                           .requestLength = request.size(),
                           .received = answered ? kStatus.data() : nullptr,
                           .receivedLength = answered ? kStatus.size() : 0,
                           .sentAt = now.monotonic,
                           .firstByteAt = now.monotonic,
                           .endedAt = now,
                           .result = answered ? ResultSuccess : ResultTimeout});
  }
}

std::vector<uint64_t> Rows(const traffic::LogView& view) {
  std::vector<uint64_t> rows;
  for (size_t row = 0; row < view.Size(); ++row) rows.push_back(view.SequenceAt(row));
  return rows;
}

std::vector<uint64_t> Span(uint64_t first, uint64_t last) {
  std::vector<uint64_t> rows;
  for (uint64_t s = first; s <= last; ++s) rows.push_back(s);
  return rows;
}

TEST(LogView, RowsFollowTheLogAsItDropsItsOldestFrames) {
  traffic::Filter failures;
  failures.results = traffic::Filter::Results::Failures;
  struct Case {
    const char* what;
    size_t ringFrames;
    traffic::Filter filter;
    const char* before;  // recorded, then the view updates
    const char* after;   // recorded under the view's rows, then it updates again
    size_t gone;
    uint64_t lost;
    std::vector<uint64_t> rows;
    uint64_t firstKept;
  };
  const Case cases[] = {
      {"whole transactions go", 6, {}, "TTT", "TT", 4, 0, Span(5, 10), 5},
      {"an answer goes with its request", 6, {}, "TTT", "U", 2, 0, Span(3, 7), 3},
      {"a view that fell behind", 6, {}, "", "TTTTT", 0, 4, Span(5, 10), 5},
      {"fell behind onto an answer", 5, {}, "", "TTTTT", 0, 5, Span(7, 10), 7},
      {"the filtered row goes", 6, failures, "TFT", "TTT", 1, 0, {}, 6},
      {"the filtered row stays", 6, failures, "TFT", "T", 0, 0, {3}, 3},
  };
  for (const Case& c : cases) {
    auto log = std::make_shared<FrameLog>(c.ringFrames, 4096);
    traffic::LogView view(log);
    view.SetFilter(c.filter);
    Record(*log, c.before);
    view.Update();
    Record(*log, c.after);
    EXPECT_EQ(view.Gone(), c.gone) << c.what;
    view.Forget(view.Gone());
    const traffic::LogView::Taken taken = view.Read();
    view.Take(taken);
    EXPECT_EQ(taken.lost, c.lost) << c.what;
    EXPECT_EQ(Rows(view), c.rows) << c.what;
    EXPECT_EQ(view.FirstKept(), c.firstKept) << c.what;
    EXPECT_EQ(view.Cursor(), log->LastSequence()) << c.what;
    // Every row shown is a frame the log holds, described as what it is.
    for (size_t row = 0; row < view.Size(); ++row) {
      const traffic::Record record = view.At(row);
      EXPECT_EQ(record.sequence, view.SequenceAt(row)) << c.what;
      if (record.direction == traffic::Direction::Received) {
        EXPECT_NE(record.meaning.find("实时状态"), std::string::npos) << c.what << ": " << record.meaning;
      }
    }
    // The export takes the same rows.
    std::vector<uint64_t> exported;
    view.ForEach([&](const traffic::Record& record) { return exported.push_back(record.sequence), true; });
    EXPECT_EQ(exported, c.rows) << c.what;
  }
}

// More rows than the view keeps described: each one asked for alone (the
// table scrolled up, the export) reads as it did when it was taken in
// order, and the text filter finds the same rows from the log again.
TEST(LogView, ARowDescribedAloneReadsAsInOrder) {
  auto log = std::make_shared<FrameLog>(301, 1 << 16);
  traffic::LogView view(log);
  Record(*log, std::string(60, 'T') + "UF" + std::string(100, 'T'));
  std::vector<traffic::Record> inOrder;
  do {
    view.Update(16, [&](const traffic::Record& r) { inOrder.push_back(r); });
  } while (view.Cursor() < log->LastSequence());
  ASSERT_EQ(inOrder.size(), 300u);
  ASSERT_EQ(view.Size(), 300u);
  EXPECT_EQ(inOrder.front().sequence, 23u) << "the answer at 22 went with its request";
  for (size_t row = 0; row < view.Size(); ++row) {
    const traffic::Record alone = view.At(row);
    ASSERT_EQ(alone.sequence, inOrder[row].sequence);
    EXPECT_EQ(alone.meaning, inOrder[row].meaning) << alone.sequence;
    EXPECT_EQ(alone.kind, inOrder[row].kind) << alone.sequence;
    EXPECT_EQ(alone.slave, inOrder[row].slave);
    EXPECT_EQ(alone.crcGood, inOrder[row].crcGood);
  }
  traffic::Filter text;
  text.text = "通讯超时";
  view.SetFilter(text);
  ASSERT_EQ(view.Size(), 1u);
  EXPECT_EQ(view.At(0).bytes, kRampRead);
}

}  // namespace
