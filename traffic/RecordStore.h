// The records "通讯记录" keeps: the newest within a fixed number, and the
// ones a filter (by result, by function, by text) lets through, kept up to
// date as records come and the oldest go.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "traffic/TrafficRecord.h"

namespace traffic {

class RecordStore {
 public:
  static constexpr size_t DefaultCapacity = 100'000;

  explicit RecordStore(size_t capacity = DefaultCapacity);

  // Keeps the record; the oldest goes when the store is full.
  void Push(Record record);
  void Clear();

  // Records are numbered from 0 in the order they came; the store holds
  // [First(), End()).
  uint64_t First() const { return end_ - records_.size(); }
  uint64_t End() const { return end_; }
  size_t Size() const { return records_.size(); }
  size_t Capacity() const { return capacity_; }
  const Record& At(uint64_t number) const { return records_[static_cast<size_t>(number - First())]; }
  // Records pushed out by newer ones since the start or the last Clear.
  uint64_t Dropped() const { return dropped_; }

 private:
  size_t capacity_;
  std::deque<Record> records_;
  uint64_t end_ = 0;
  uint64_t dropped_ = 0;
};

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

// The numbers of the store's records that a filter lets through, in order.
class FilteredView {
 public:
  // Looks at every record of the store again under `filter`.
  void Reset(const RecordStore& store, const Filter& filter);
  // Takes the records that came since the last Reset or Update and forgets
  // the ones the store no longer holds. How many rows went from the front.
  size_t Update(const RecordStore& store);
  // Update in its two steps, for a table that must say what changes before
  // it does: the rows whose records the store no longer holds go (how
  // many: `Gone` tells before), then the new rows come (`NewRows`, then
  // `Take`).
  size_t Gone(const RecordStore& store) const;
  size_t Forget(const RecordStore& store);
  std::vector<uint64_t> NewRows(const RecordStore& store) const;
  void Take(const std::vector<uint64_t>& rows, const RecordStore& store);

  size_t Size() const { return rows_.size(); }
  uint64_t At(size_t row) const { return rows_[row]; }
  const Filter& Current() const { return filter_; }

 private:
  Filter filter_;
  std::deque<uint64_t> rows_;
  uint64_t seen_ = 0;  // records before this number have been looked at
};

}  // namespace traffic
