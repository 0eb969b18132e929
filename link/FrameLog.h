// The frame log: every frame that one or more links sent and received, in
// a ring of fixed size allocated once. A link that has a log attached
// records each transaction's request as sent and the bytes that came back
// for it as they came (echo and noise included), with the transaction's
// result and round trip, and the bytes its reader takes between
// transactions (late answers, noise), which belong to no transaction. A
// listener records the frames it heard, with the kind its splitter found.
//
// The log keeps the newest frames within two bounds fixed at construction:
// a number of frames and a number of frame bytes; the oldest go first.
// Readers on any thread copy "everything after sequence number N" in
// batches; a reader that fell behind the ring learns how many it lost.
// Every call takes one short lock and allocates nothing while holding it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

#include "link/FrameCodec.h"
#include "link/FrameSplitter.h"
#include "link/Stamp.h"

enum class FrameDirection : uint8_t {
  Request,      // sent: a transaction's request
  Answer,       // received during a transaction, everything that came for it
  Unsolicited,  // received between transactions: a late answer, noise
  Heard,        // a frame a listener heard on the line
};

struct LoggedFrame {
  uint64_t sequence = 0;  // 1 for the first frame the log recorded, then one more each
  Stamp time;             // a request: when it went out; received bytes: when the first of them came
  FrameDirection direction = FrameDirection::Request;
  uint16_t link = 0;         // the tag its link was attached with
  uint64_t transaction = 0;  // numbered by the log from 1; 0 for unsolicited bytes
  // The transaction's result and its round trip (request sent to answer
  // judged, or to the time-out); both 0 for unsolicited bytes.
  ModbusResult result = ResultSuccess;
  std::chrono::microseconds roundTrip{0};
  // A heard frame: what the listener's splitter took it for.
  FrameKind kind = FrameKind::Unknown;
  bool crcGood = false;
  // A request or what came for it over a Modbus TCP gateway: the bytes are
  // MBAP frames (header, PDU), not RTU frames.
  bool mbap = false;
  uint32_t offset = 0;  // of its bytes in FrameLogBatch::bytes
  uint32_t length = 0;
};

// What one read copied; reuse one batch for every read, so that its
// buffers are allocated once.
struct FrameLogBatch {
  std::vector<LoggedFrame> frames;
  std::vector<uint8_t> bytes;
  // Frames after the sequence number asked for that the ring had already
  // dropped; the batch starts with the oldest frame still kept.
  uint64_t lost = 0;
  // The sequence number to ask after next time: the last frame copied, or
  // the number asked for when there was nothing new.
  uint64_t last = 0;
  bool more = false;  // newer frames remain beyond this batch

  std::span<const uint8_t> BytesOf(const LoggedFrame& frame) const;
};

// A finished transaction as its link hands it over.
struct TransactionRecord {
  uint16_t link = 0;
  const uint8_t* request = nullptr;
  size_t requestLength = 0;
  const uint8_t* received = nullptr;  // what came back, possibly nothing
  size_t receivedLength = 0;
  std::chrono::steady_clock::time_point sentAt{};
  std::chrono::steady_clock::time_point firstByteAt{};  // when receivedLength > 0
  Stamp endedAt;                                        // the time the others are stamped from
  ModbusResult result = ResultSuccess;
  bool mbap = false;  // the frames went over a Modbus TCP gateway
};

class FrameLog {
 public:
  static constexpr size_t DefaultFrames = 100'000;
  static constexpr size_t DefaultBytes = size_t{4} << 20;
  static constexpr size_t DefaultReadFrames = 1024;

  // Keeps at most `maxFrames` frames (at least 2) and at most `maxBytes`
  // frame bytes (at least two whole frames); both allocated here, at once.
  explicit FrameLog(size_t maxFrames = DefaultFrames, size_t maxBytes = DefaultBytes);
  FrameLog(const FrameLog&) = delete;
  FrameLog& operator=(const FrameLog&) = delete;

  // Called by the links. What was received keeps its first MaxReceiveLength
  // bytes, a request its first MaxFrameLength; empty ones are not recorded.
  void RecordTransaction(const TransactionRecord& record);
  void RecordUnsolicited(uint16_t link, const uint8_t* bytes, size_t length, const Stamp& at, bool mbap = false);
  // Called by a listener's handler, for every frame it hands over.
  void RecordHeard(uint16_t link, const SplitFrame& frame);

  // Copies up to `maxFrames` frames after sequence number `after` (0: from
  // the oldest kept) into `into`, replacing what it held.
  void Read(uint64_t after, FrameLogBatch& into, size_t maxFrames = DefaultReadFrames) const;
  // The newest frame's sequence number; 0 before the first.
  uint64_t LastSequence() const;
  // The oldest frame's sequence number; LastSequence() + 1 while empty.
  uint64_t FirstSequence() const;
  size_t Count() const;
  size_t FrameCapacity() const { return frameCapacity_; }
  size_t ByteCapacity() const { return byteCapacity_; }
  // Everything the log allocated; it never changes.
  size_t MemoryBytes() const;

 private:
  struct Slot {
    int64_t monotonicNanos = 0;
    int64_t wallMicros = 0;
    uint64_t transaction = 0;
    uint64_t byteStart = 0;  // position in the stream of all bytes recorded
    int32_t roundTripMicros = 0;
    int16_t result = 0;
    uint16_t link = 0;
    uint16_t length = 0;
    FrameDirection direction = FrameDirection::Request;
    FrameKind kind = FrameKind::Unknown;
    bool crcGood = false;
    bool mbap = false;
  };

  // Under mutex_: stores one frame, dropping the oldest ones that no longer fit.
  void Push(const Slot& meta, const uint8_t* bytes, size_t length);
  Slot& SlotOf(uint64_t sequence) const { return slots_[sequence % frameCapacity_]; }

  const size_t frameCapacity_;
  const size_t byteCapacity_;
  std::unique_ptr<Slot[]> slots_;
  std::unique_ptr<uint8_t[]> bytes_;

  mutable std::mutex mutex_;
  uint64_t next_ = 1;    // the sequence number of the next frame
  uint64_t oldest_ = 1;  // of the oldest frame kept; == next_ while empty
  uint64_t bytesWritten_ = 0;
  uint64_t transactions_ = 0;
};
