#include "traffic/LogView.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "lang/Texts.h"
#include "link/Answer.h"
#include "link/Mbap.h"

namespace traffic {
namespace {

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool Succeeded(const Record& record) {
  if (record.transaction) return record.result == ResultSuccess;
  return record.crcGood && record.kind != Kind::Exception && record.kind != Kind::Unknown;
}

// Kind, slave and function of one whole frame by its own bytes.
void Classify(Record& record, const uint8_t* frame, size_t length, bool request) {
  record.slave = length > 0 ? frame[0] : 0;
  record.function = length > 1 ? frame[1] : 0;
  record.crcGood = length >= 4 && FrameCheck(frame, length, frame[0]);
  if (request) {
    record.kind = Kind::Request;
  } else if (length < 2) {
    record.kind = Kind::Unknown;
  } else {
    record.kind = (frame[1] & ExceptionBit) ? Kind::Exception : Kind::Answer;
  }
}

bool IsAnswer(const LoggedFrame& frame) { return frame.direction == FrameDirection::Answer; }

}  // namespace

bool Filter::Matches(const Record& record) const {
  if (results != Results::All && Succeeded(record) != (results == Results::Successes)) return false;
  if (function >= 0 && (record.function & 0x7F) != function) return false;
  if (text.empty()) return true;
  const std::string wanted = Lower(text);
  for (const std::string& where : {record.meaning, HexColumn(record), ResultColumn(record)}) {
    if (Lower(where).find(wanted) != std::string::npos) return true;
  }
  return false;
}

Record FrameDescriber::Describe(const LoggedFrame& frame, std::span<const uint8_t> bytes) {
  // Over a Modbus TCP gateway: described as the RTU frame it carries, shown
  // as it went, its header named.
  Frame rtu;
  uint16_t transaction = 0;
  if (frame.mbap && RtuOfMbap(bytes.data(), bytes.size(), rtu, transaction)) {
    LoggedFrame carried = frame;
    carried.mbap = false;
    Record record = Describe(carried, std::span<const uint8_t>(rtu.bytes.data(), rtu.length));
    record.bytes.assign(bytes.begin(), bytes.end());
    record.meaning = lang::Fill(lang::Tr("MBAP 事务 {1} 单元 {2}: {3}"),
                                {std::to_string(transaction), std::to_string(rtu.bytes[0]), record.meaning});
    return record;
  }
  orphan_ = false;
  if (frame.direction == FrameDirection::Heard) {
    const SplitFrame heard{.bytes = bytes,
                           .time = frame.time,
                           .slave = bytes.size() > 0 ? bytes[0] : uint8_t{0},
                           .function = bytes.size() > 1 ? bytes[1] : uint8_t{0},
                           .kind = frame.kind,
                           .crcGood = frame.crcGood};
    return FromHeard(heard, frame.sequence, conversation_);
  }
  Record record;
  record.sequence = frame.sequence;
  record.wallMicros = frame.time.wallMicros;
  record.bytes.assign(bytes.begin(), bytes.end());
  record.transaction = frame.direction != FrameDirection::Unsolicited;
  record.result = frame.result;
  record.roundTrip = frame.roundTrip;
  switch (frame.direction) {
    case FrameDirection::Request:
      record.direction = Direction::Sent;
      Classify(record, bytes.data(), bytes.size(), true);
      record.meaning = decode::DescribeRequest(bytes).text;
      requestTransaction_ = frame.transaction;
      request_ = record.bytes;
      break;
    case FrameDirection::Answer: {
      record.direction = Direction::Received;
      const bool asked = requestTransaction_ != 0 && requestTransaction_ == frame.transaction;
      orphan_ = !asked;
      const std::span<const uint8_t> request = asked ? std::span<const uint8_t>(request_) : std::span<const uint8_t>();
      // The answer among echo and noise gives the row its slave, function
      // and verdict; without one, the first bytes do.
      Frame sent;
      sent.length = std::min(request.size(), sent.bytes.size());
      std::copy_n(request.begin(), sent.length, sent.bytes.begin());
      const AnswerSearch search = FindAnswer(sent, bytes.data(), std::min(bytes.size(), MaxFrameLength), false);
      if (search.state == AnswerSearch::State::Incomplete) {
        Classify(record, bytes.data(), bytes.size(), false);
        record.kind = Kind::Unknown;
      } else {
        Classify(record, bytes.data() + search.offset, search.length, false);
      }
      record.meaning = decode::DescribeReceived(bytes, request).text;
      break;
    }
    case FrameDirection::Unsolicited:
    case FrameDirection::Heard:
      record.direction = Direction::Unsolicited;
      Classify(record, bytes.data(), bytes.size(), false);
      if (!record.crcGood) record.kind = Kind::Unknown;
      record.meaning = record.crcGood
                           ? lang::Fill(lang::Tr("迟到的应答: {1}"), {decode::DescribeAnswer(bytes).text})
                           : lang::Fill(lang::Tr("{1}, 不属于任何通讯 (迟到或干扰)"), {decode::BytesText(bytes.size())});
      break;
  }
  return record;
}

LogView::LogView(std::shared_ptr<const FrameLog> log) : log_(std::move(log)) {}

size_t LogView::Update(size_t maxFrames, const std::function<void(const Record&)>& onNew) {
  const size_t gone = Gone();
  Forget(gone);
  Take(Read(maxFrames, onNew));
  return gone;
}

uint64_t LogView::FirstKept() const {
  const uint64_t first = log_->FirstSequence();
  log_->Read(first - 1, lookup_, 1);
  if (lookup_.frames.empty()) return first;
  // The log may have dropped more meanwhile: the frame read is the oldest.
  const LoggedFrame& oldest = lookup_.frames.front();
  return IsAnswer(oldest) ? oldest.sequence + 1 : oldest.sequence;
}

size_t LogView::Gone() const {
  if (rows_.empty()) return 0;
  return static_cast<size_t>(std::lower_bound(rows_.begin(), rows_.end(), FirstKept()) - rows_.begin());
}

void LogView::Forget(size_t rows) {
  rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(std::min(rows, rows_.size())));
}

LogView::Taken LogView::Read(size_t maxFrames, const std::function<void(const Record&)>& onNew) {
  return ReadUpTo(std::numeric_limits<uint64_t>::max(), maxFrames, onNew);
}

LogView::Taken LogView::ReadUpTo(uint64_t end, size_t maxFrames, const std::function<void(const Record&)>& onNew) {
  Taken taken;
  if (cursor_ >= end) return taken;
  log_->Read(cursor_, batch_, static_cast<size_t>(std::min<uint64_t>(maxFrames, end - cursor_)));
  taken.lost = batch_.lost;
  taken.more = batch_.more;
  for (const LoggedFrame& frame : batch_.frames) {
    if (frame.sequence > end) {
      taken.more = true;
      break;
    }
    Record record = describer_.Describe(frame, batch_.BytesOf(frame));
    if (IsAnswer(frame) && describer_.Orphan()) continue;  // it went with its request
    if (!filter_.Matches(record)) continue;
    taken.rows.push_back(frame.sequence);
    if (onNew) onNew(record);
    Remember(std::move(record));
  }
  cursor_ = std::min(batch_.last, end);
  return taken;
}

void LogView::Take(const Taken& taken) { rows_.insert(rows_.end(), taken.rows.begin(), taken.rows.end()); }

void LogView::SetFilter(const Filter& filter) {
  filter_ = filter;
  rows_.clear();
  const uint64_t end = cursor_;
  cursor_ = 0;
  describer_ = {};
  while (cursor_ < end) {
    const uint64_t before = cursor_;
    Take(ReadUpTo(end, FrameLog::DefaultReadFrames, {}));
    if (cursor_ == before) break;
  }
  cursor_ = std::max(cursor_, end);
}

const Record* LogView::Cached(uint64_t sequence) const {
  const Record& record = cache_[sequence % CacheSize];
  return record.sequence == sequence ? &record : nullptr;
}

const Record& LogView::Remember(Record record) const {
  Record& slot = cache_[record.sequence % CacheSize];
  slot = std::move(record);
  return slot;
}

Record LogView::At(size_t row) const {
  const uint64_t sequence = rows_[row];
  if (const Record* record = Cached(sequence)) return *record;
  // With the frame before it: an answer is described by its request.
  log_->Read(sequence >= 2 ? sequence - 2 : 0, lookup_, 2);
  FrameDescriber describer;
  for (const LoggedFrame& frame : lookup_.frames) {
    if (frame.sequence > sequence) break;
    Record record = describer.Describe(frame, lookup_.BytesOf(frame));
    if (frame.sequence != sequence) continue;
    if (IsAnswer(frame) && describer.Orphan()) return {};
    return Remember(std::move(record));
  }
  return {};
}

size_t LogView::ForEach(const std::function<bool(const Record&)>& each) const {
  if (rows_.empty()) return 0;
  FrameDescriber describer;
  FrameLogBatch batch;
  size_t row = 0;
  size_t taken = 0;
  const uint64_t end = rows_.back();
  // From the frame before the first row: an answer's request.
  uint64_t after = rows_.front() >= 2 ? rows_.front() - 2 : 0;
  while (row < rows_.size()) {
    log_->Read(after, batch);
    if (batch.frames.empty()) break;
    for (const LoggedFrame& frame : batch.frames) {
      if (frame.sequence > end) return taken;
      Record record = describer.Describe(frame, batch.BytesOf(frame));
      while (row < rows_.size() && rows_[row] < frame.sequence) ++row;  // its frame went meanwhile
      if (row == rows_.size() || rows_[row] != frame.sequence) continue;
      ++row;
      if (IsAnswer(frame) && describer.Orphan()) continue;
      ++taken;
      if (!each(record)) return taken;
    }
    after = batch.last;
  }
  return taken;
}

}  // namespace traffic
