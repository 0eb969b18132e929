// The one reader of a frame log for "通讯记录" and `korvelt listen`: a
// cursor over the log's sequence numbers, a filter (by result, by function,
// by text) and the sequence numbers of the frames it lets through. The
// frames stay in the log alone; a frame is described (its record with its
// meaning) when it is read and when a row is asked for, so that the view
// holds no more than the log's bound of numbers and a few rows described.
//
// The log drops its oldest frames when full, also under the view: rows
// whose frames are gone leave from the front, and a row asked for after
// its frame went comes back empty (sequence 0). A transaction's answer
// goes with its request, so that a row never changes its meaning.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "link/FrameLog.h"
#include "traffic/TrafficRecord.h"

namespace traffic {

struct Filter {
  enum class Results { All, Successes, Failures };
  Results results = Results::All;
  // A function code (the exception bit aside), or -1 for all.
  int function = -1;
  // Found in the meaning, the bytes or the result; ASCII letters in either
  // case. Empty: every record.
  std::string text;

  // A transaction succeeded, or a frame heard has a good CRC and is no
  // exception; a failure otherwise.
  bool Matches(const Record& record) const;
};

// Describes a log's frames in their order: a transaction's answer by the
// request before it, a heard frame in the conversation it belongs to (one
// described on its own, by the frame before it alone).
class FrameDescriber {
 public:
  Record Describe(const LoggedFrame& frame, std::span<const uint8_t> bytes);
  // Whether the last frame described was an answer whose request had not
  // been described before it (the log had dropped it).
  bool Orphan() const { return orphan_; }

 private:
  uint64_t requestTransaction_ = 0;  // of the request remembered; 0: none
  std::vector<uint8_t> request_;
  decode::Conversation conversation_;
  bool orphan_ = false;
};

class LogView {
 public:
  explicit LogView(std::shared_ptr<const FrameLog> log);
  LogView(const LogView&) = delete;
  LogView& operator=(const LogView&) = delete;

  // Frames read in one go that came after the view's cursor.
  struct Taken {
    std::vector<uint64_t> rows;  // of the frames the filter let through
    uint64_t lost = 0;           // dropped by the log before they were read
    bool more = false;           // the log holds newer frames still
  };

  // Forget, Read and Take in one step; `onNew` sees every new row's record.
  // How many rows went from the front.
  size_t Update(size_t maxFrames = FrameLog::DefaultReadFrames,
                const std::function<void(const Record&)>& onNew = {});
  // Update in its steps, for a table that must say what changes before it
  // does: how many rows lost their frames, then they go; the frames after
  // the cursor are read and described, then their rows come.
  size_t Gone() const;
  void Forget(size_t rows);
  Taken Read(size_t maxFrames = FrameLog::DefaultReadFrames, const std::function<void(const Record&)>& onNew = {});
  void Take(const Taken& taken);

  // Looks at the frames up to the cursor again under `filter`; no newer
  // ones (a paused table stays where it was).
  void SetFilter(const Filter& filter);
  const Filter& Current() const { return filter_; }

  size_t Size() const { return rows_.size(); }
  uint64_t SequenceAt(size_t row) const { return rows_[row]; }
  // The row's record, described from the log (or as described lately);
  // sequence 0 when the log has dropped its frame.
  Record At(size_t row) const;
  // Every row's record in order, described as they are read in batches,
  // until `each` returns false; rows whose frames went meanwhile are left
  // out. How many `each` took.
  size_t ForEach(const std::function<bool(const Record&)>& each) const;

  // Rows are described again when next asked for: their words follow a
  // switch of language.
  void Redescribe() const { cache_.fill(Record{}); }

  // The oldest frame the view still shows or would show: the log's oldest,
  // or the one after it when that is an answer whose request went.
  uint64_t FirstKept() const;
  // The newest frame's sequence number the view has read.
  uint64_t Cursor() const { return cursor_; }
  const FrameLog& Log() const { return *log_; }

 private:
  // Rows described lately, by sequence number: a table asks for the same
  // few rows many times over.
  static constexpr size_t CacheSize = 128;
  const Record* Cached(uint64_t sequence) const;
  const Record& Remember(Record record) const;
  Taken ReadUpTo(uint64_t end, size_t maxFrames, const std::function<void(const Record&)>& onNew);

  std::shared_ptr<const FrameLog> log_;
  Filter filter_;
  std::deque<uint64_t> rows_;
  uint64_t cursor_ = 0;
  FrameDescriber describer_;  // of the frames after the cursor
  FrameLogBatch batch_;
  mutable FrameLogBatch lookup_;
  mutable std::array<Record, CacheSize> cache_;
};

}  // namespace traffic
