#include "recording/StatusRecording.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "fields/CommandTexts.h"
#include "fields/StatusTexts.h"
#include "lang/Texts.h"

namespace recording {
namespace {

// A sample that arrives late (a poll whose answer came in just before a
// capture's first) is put in its place among the last few.
constexpr size_t kMaxReorder = 64;

uint32_t RegistersOfPlace(const fields::StatusPlace& place) {
  uint32_t bits = ((1u << place.count) - 1) << place.first;
  if (place.rangeFlag) bits |= 1u << fields::StatusRangeFlagRegister;
  return bits;
}

}  // namespace

std::optional<double> ValueOf(const Sample& sample, size_t field) {
  if (IsGap(sample)) return std::nullopt;
  const uint32_t needed = RegistersOfPlace(fields::StatusPlaceOf(field));
  if (needed == 0 || (sample.read & needed) != needed) return std::nullopt;
  return fields::StatusValue(sample.status, field);
}

StatusRecording::StatusRecording(size_t capacity, size_t markCapacity)
    : capacity_(std::max<size_t>(1, (capacity + ChunkSamples - 1) / ChunkSamples) * ChunkSamples),
      markCapacity_(std::max<size_t>(1, markCapacity)) {
  chunks_.resize(capacity_ / ChunkSamples);
  Restart();
}

void StatusRecording::Restart(SteadyClock::time_point now, WallClock::time_point wallNow) {
  std::lock_guard lock(mutex_);
  // The chunks already there stay for the next session: it will need them.
  begin_ = end_ = 0;
  gaps_ = 0;
  errorState_.reset();
  marks_.clear();
  marksBegin_ = 0;
  fast_.clear();
  startSteady_ = now;
  startWall_ = wallNow;
}

Sample& StatusRecording::SlotLocked(uint64_t number) {
  const size_t slot = static_cast<size_t>(number % capacity_);
  std::unique_ptr<Chunk>& chunk = chunks_[slot / ChunkSamples];
  if (!chunk) chunk = std::make_unique<Chunk>();
  return (*chunk)[slot % ChunkSamples];
}

const Sample& StatusRecording::SlotLocked(uint64_t number) const {
  const size_t slot = static_cast<size_t>(number % capacity_);
  return (*chunks_[slot / ChunkSamples])[slot % ChunkSamples];
}

Micros StatusRecording::MicrosLocked(SteadyClock::time_point at) const {
  return std::chrono::duration_cast<std::chrono::microseconds>(at - startSteady_).count();
}

Micros StatusRecording::ToMicros(SteadyClock::time_point at) const {
  std::lock_guard lock(mutex_);
  return MicrosLocked(at);
}

bool StatusRecording::InsertLocked(const Sample& sample) {
  if (end_ - begin_ == capacity_) {
    if (IsGap(SlotLocked(begin_))) --gaps_;
    ++begin_;
  }
  uint64_t at = end_++;
  while (at > begin_ && end_ - at <= kMaxReorder && SlotLocked(at - 1).time > sample.time) {
    SlotLocked(at) = SlotLocked(at - 1);
    --at;
  }
  Sample& slot = SlotLocked(at);
  slot = sample;
  // Older than the few it may pass: it keeps its order, not its time.
  if (at > begin_ && SlotLocked(at - 1).time > slot.time) slot.time = SlotLocked(at - 1).time;
  if (IsGap(slot)) ++gaps_;
  return at + 1 == end_;
}

void StatusRecording::ErrorStateLocked(const Sample& sample) {
  constexpr uint32_t errorBit = 1u << fields::StatusErrorRegister;
  if ((sample.read & errorBit) == 0) return;
  const uint16_t code = sample.status.errorState;
  // The first state seen is worth a mark only when it is an error.
  const bool changed = errorState_ ? *errorState_ != code : code != 0;
  errorState_ = code;
  if (!changed) return;
  Mark mark;
  mark.time = sample.time;
  mark.kind = MarkKind::ErrorState;
  mark.errorState = code;
  marks_.push_back(std::move(mark));
  if (marks_.size() > markCapacity_) {
    marks_.pop_front();
    ++marksBegin_;
  }
}

void StatusRecording::Add(SteadyClock::time_point at, const StatusBlock& status, uint32_t read) {
  std::lock_guard lock(mutex_);
  // A read of the session before (still out when the port was reopened).
  if (at < startSteady_) return;
  Sample sample{MicrosLocked(at), status, read & WholeBlock};
  // Registers not read carry nothing.
  if (sample.read != WholeBlock) {
    uint16_t words[StatusRegisterCount];
    std::memcpy(words, &sample.status, sizeof words);
    for (size_t i = 0; i < StatusRegisterCount; ++i) {
      if ((sample.read & (1u << i)) == 0) words[i] = 0;
    }
    std::memcpy(&sample.status, words, sizeof words);
  }
  // The error state changes between neighbours in time: a late sample,
  // put among the ones before it, changes nothing.
  if (InsertLocked(sample)) ErrorStateLocked(sample);
}

void StatusRecording::AddGap(SteadyClock::time_point at) {
  std::lock_guard lock(mutex_);
  if (at < startSteady_) return;
  InsertLocked(Sample{MicrosLocked(at), StatusBlock{}, 0});
}

std::string MarkText(const Mark& mark) {
  if (mark.kind == MarkKind::ErrorState) {
    return lang::Fill(lang::Tr("错误状态: {1}"), {lang::Tr(fields::ErrorStateText(mark.errorState))});
  }
  std::string text = fields::CommandText(mark.start, mark.words.data(), static_cast<uint16_t>(mark.words.size()));
  if (mark.result != ResultSuccess) text += " (" + ResultText(mark.result) + ")";
  return text;
}

void StatusRecording::AddMark(SteadyClock::time_point at, Mark mark) {
  std::lock_guard lock(mutex_);
  mark.time = MicrosLocked(at);
  marks_.push_back(std::move(mark));
  if (marks_.size() > markCapacity_) {
    marks_.pop_front();
    ++marksBegin_;
  }
}

uint64_t StatusRecording::Begin() const {
  std::lock_guard lock(mutex_);
  return begin_;
}

uint64_t StatusRecording::End() const {
  std::lock_guard lock(mutex_);
  return end_;
}

StatusRecording::Copied StatusRecording::Copy(uint64_t from, std::span<Sample> out) const {
  std::lock_guard lock(mutex_);
  const uint64_t first = std::clamp(from, begin_, end_);
  const size_t count = static_cast<size_t>(std::min<uint64_t>(out.size(), end_ - first));
  for (size_t i = 0; i < count; ++i) out[i] = SlotLocked(first + i);
  return {first, count};
}

uint64_t StatusRecording::FirstAtOrAfterLocked(Micros time) const {
  uint64_t low = begin_;
  uint64_t high = end_;
  while (low < high) {
    const uint64_t middle = low + (high - low) / 2;
    if (SlotLocked(middle).time < time) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return low;
}

uint64_t StatusRecording::FirstAtOrAfter(Micros time) const {
  std::lock_guard lock(mutex_);
  return FirstAtOrAfterLocked(time);
}

uint64_t StatusRecording::MarksEnd() const {
  std::lock_guard lock(mutex_);
  return marksBegin_ + marks_.size();
}

std::vector<Mark> StatusRecording::Marks(uint64_t from, size_t most) const {
  std::lock_guard lock(mutex_);
  const uint64_t first = std::max(from, marksBegin_);
  std::vector<Mark> marks;
  for (uint64_t i = first; i < marksBegin_ + marks_.size() && marks.size() < most; ++i) {
    marks.push_back(marks_[static_cast<size_t>(i - marksBegin_)]);
  }
  return marks;
}

RecordingTotals StatusRecording::Totals() const {
  std::lock_guard lock(mutex_);
  RecordingTotals totals;
  totals.samples = end_ - begin_;
  totals.gaps = gaps_;
  totals.dropped = begin_;
  if (end_ > begin_) {
    totals.first = SlotLocked(begin_).time;
    totals.last = SlotLocked(end_ - 1).time;
  }
  return totals;
}

void StatusRecording::BeginFast(SteadyClock::time_point at) {
  std::lock_guard lock(mutex_);
  fast_.push_back({MicrosLocked(at), std::numeric_limits<Micros>::max()});
  if (fast_.size() > markCapacity_) fast_.pop_front();
}

void StatusRecording::EndFast(SteadyClock::time_point at) {
  std::lock_guard lock(mutex_);
  if (!fast_.empty() && fast_.back().to == std::numeric_limits<Micros>::max()) fast_.back().to = MicrosLocked(at);
}

std::vector<FastPeriod> StatusRecording::FastPeriods() const {
  std::lock_guard lock(mutex_);
  return {fast_.begin(), fast_.end()};
}

WallClock::time_point StatusRecording::StartWall() const {
  std::lock_guard lock(mutex_);
  return startWall_;
}

SteadyClock::time_point StatusRecording::StartSteady() const {
  std::lock_guard lock(mutex_);
  return startSteady_;
}

size_t StatusRecording::BytesUsed() const {
  std::lock_guard lock(mutex_);
  size_t bytes = sizeof(*this) + chunks_.capacity() * sizeof(chunks_[0]);
  for (const auto& chunk : chunks_) {
    if (chunk) bytes += sizeof(Chunk);
  }
  for (const Mark& mark : marks_) bytes += sizeof(Mark) + mark.words.capacity() * sizeof(uint16_t);
  bytes += fast_.size() * sizeof(FastPeriod);
  return bytes;
}

}  // namespace recording
