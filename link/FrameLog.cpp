#include "link/FrameLog.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {

using std::chrono::duration_cast;
using std::chrono::microseconds;
using std::chrono::nanoseconds;
using Clock = std::chrono::steady_clock;

int64_t MicrosBetween(Clock::time_point from, Clock::time_point to) {
  return duration_cast<microseconds>(to - from).count();
}

// The wall-clock time of `at`, reckoned back from a moment known on both clocks.
int64_t WallAt(const Stamp& known, Clock::time_point at) {
  return known.wallMicros - MicrosBetween(at, known.monotonic);
}

int32_t ClampedMicros(int64_t micros) {
  return static_cast<int32_t>(std::clamp<int64_t>(micros, 0, std::numeric_limits<int32_t>::max()));
}

}  // namespace

std::span<const uint8_t> FrameLogBatch::BytesOf(const LoggedFrame& frame) const {
  if (frame.offset + static_cast<size_t>(frame.length) > bytes.size()) return {};
  return {bytes.data() + frame.offset, frame.length};
}

// Both written through at once, so that the memory the log holds does not
// grow as the ring fills, and no recording meets a fresh page.
FrameLog::FrameLog(size_t maxFrames, size_t maxBytes)
    : frameCapacity_(std::max<size_t>(maxFrames, 2)),
      byteCapacity_(std::max(maxBytes, 2 * MaxReceiveLength)),
      slots_(new Slot[frameCapacity_]),
      bytes_(new uint8_t[byteCapacity_]()) {}

size_t FrameLog::MemoryBytes() const { return sizeof *this + frameCapacity_ * sizeof(Slot) + byteCapacity_; }

void FrameLog::Push(const Slot& meta, const uint8_t* bytes, size_t length) {
  // A frame in the ring's last free slot, or one whose bytes would reach
  // the oldest frame's, pushes the oldest out.
  while (oldest_ < next_ &&
         (next_ - oldest_ >= frameCapacity_ || bytesWritten_ + length - SlotOf(oldest_).byteStart > byteCapacity_)) {
    ++oldest_;
  }
  Slot& slot = SlotOf(next_++);
  slot = meta;
  slot.byteStart = bytesWritten_;
  slot.length = static_cast<uint16_t>(length);
  const size_t at = bytesWritten_ % byteCapacity_;
  const size_t first = std::min(length, byteCapacity_ - at);
  std::memcpy(bytes_.get() + at, bytes, first);
  std::memcpy(bytes_.get(), bytes + first, length - first);
  bytesWritten_ += length;
}

void FrameLog::RecordTransaction(const TransactionRecord& record) {
  const size_t requestLength = std::min(record.requestLength, MaxFrameLength);
  const size_t receivedLength = std::min(record.receivedLength, MaxReceiveLength);
  const Slot common{.roundTripMicros = ClampedMicros(MicrosBetween(record.sentAt, record.endedAt.monotonic)),
                    .result = static_cast<int16_t>(record.result),
                    .link = record.link,
                    .mbap = record.mbap};
  std::lock_guard lock(mutex_);
  const uint64_t transaction = ++transactions_;
  if (requestLength > 0) {
    Slot request = common;
    request.monotonicNanos = duration_cast<nanoseconds>(record.sentAt.time_since_epoch()).count();
    request.wallMicros = WallAt(record.endedAt, record.sentAt);
    request.transaction = transaction;
    Push(request, record.request, requestLength);
  }
  if (receivedLength > 0) {
    Slot answer = common;
    answer.monotonicNanos = duration_cast<nanoseconds>(record.firstByteAt.time_since_epoch()).count();
    answer.wallMicros = WallAt(record.endedAt, record.firstByteAt);
    answer.transaction = transaction;
    answer.direction = FrameDirection::Answer;
    Push(answer, record.received, receivedLength);
  }
}

void FrameLog::RecordUnsolicited(uint16_t link, const uint8_t* bytes, size_t length, const Stamp& at, bool mbap) {
  length = std::min(length, MaxReceiveLength);
  if (length == 0) return;
  const Slot meta{.monotonicNanos = duration_cast<nanoseconds>(at.monotonic.time_since_epoch()).count(),
                  .wallMicros = at.wallMicros,
                  .link = link,
                  .direction = FrameDirection::Unsolicited,
                  .mbap = mbap};
  std::lock_guard lock(mutex_);
  Push(meta, bytes, length);
}

void FrameLog::RecordHeard(uint16_t link, const SplitFrame& frame) {
  const size_t length = std::min(frame.bytes.size(), MaxFrameLength);
  if (length == 0) return;
  const Slot meta{.monotonicNanos = duration_cast<nanoseconds>(frame.time.monotonic.time_since_epoch()).count(),
                  .wallMicros = frame.time.wallMicros,
                  .link = link,
                  .direction = FrameDirection::Heard,
                  .kind = frame.kind,
                  .crcGood = frame.crcGood};
  std::lock_guard lock(mutex_);
  Push(meta, frame.bytes.data(), length);
}

void FrameLog::Read(uint64_t after, FrameLogBatch& into, size_t maxFrames) const {
  maxFrames = std::clamp<size_t>(maxFrames, 1, frameCapacity_);
  into.frames.clear();
  into.bytes.clear();
  // Room for the largest batch, so that nothing is allocated under the lock.
  into.frames.reserve(maxFrames);
  into.bytes.reserve(std::min(maxFrames * MaxReceiveLength, byteCapacity_));

  std::lock_guard lock(mutex_);
  const uint64_t wanted = after + 1;
  const uint64_t first = std::max(wanted, oldest_);
  into.lost = first > wanted ? first - wanted : 0;
  const uint64_t end = first < next_ ? std::min<uint64_t>(next_, first + maxFrames) : first;
  into.last = end > first ? end - 1 : after;
  into.more = end < next_;
  for (uint64_t sequence = first; sequence < end; ++sequence) {
    const Slot& slot = SlotOf(sequence);
    LoggedFrame frame;
    frame.sequence = sequence;
    frame.time = {Clock::time_point(nanoseconds(slot.monotonicNanos)), slot.wallMicros};
    frame.direction = slot.direction;
    frame.link = slot.link;
    frame.transaction = slot.transaction;
    frame.result = slot.result;
    frame.roundTrip = microseconds(slot.roundTripMicros);
    frame.kind = slot.kind;
    frame.crcGood = slot.crcGood;
    frame.mbap = slot.mbap;
    frame.offset = static_cast<uint32_t>(into.bytes.size());
    frame.length = slot.length;
    const size_t at = slot.byteStart % byteCapacity_;
    const size_t firstPart = std::min<size_t>(slot.length, byteCapacity_ - at);
    into.bytes.insert(into.bytes.end(), bytes_.get() + at, bytes_.get() + at + firstPart);
    into.bytes.insert(into.bytes.end(), bytes_.get(), bytes_.get() + (slot.length - firstPart));
    into.frames.push_back(frame);
  }
}

uint64_t FrameLog::LastSequence() const {
  std::lock_guard lock(mutex_);
  return next_ - 1;
}

uint64_t FrameLog::FirstSequence() const {
  std::lock_guard lock(mutex_);
  return oldest_;
}

size_t FrameLog::Count() const {
  std::lock_guard lock(mutex_);
  return static_cast<size_t>(next_ - oldest_);
}
