#include "traffic/RecordStore.h"

#include <algorithm>
#include <cctype>

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

}  // namespace

RecordStore::RecordStore(size_t capacity) : capacity_(std::max<size_t>(capacity, 1)) {}

void RecordStore::Push(Record record) {
  if (records_.size() == capacity_) {
    records_.pop_front();
    ++dropped_;
  }
  records_.push_back(std::move(record));
  ++end_;
}

void RecordStore::Clear() {
  records_.clear();
  dropped_ = 0;
}

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

void FilteredView::Reset(const RecordStore& store, const Filter& filter) {
  filter_ = filter;
  rows_.clear();
  seen_ = store.First();
  Update(store);
}

size_t FilteredView::Update(const RecordStore& store) {
  const size_t gone = Forget(store);
  Take(NewRows(store), store);
  return gone;
}

size_t FilteredView::Gone(const RecordStore& store) const {
  return static_cast<size_t>(std::lower_bound(rows_.begin(), rows_.end(), store.First()) - rows_.begin());
}

size_t FilteredView::Forget(const RecordStore& store) {
  const size_t gone = Gone(store);
  rows_.erase(rows_.begin(), rows_.begin() + static_cast<std::ptrdiff_t>(gone));
  return gone;
}

std::vector<uint64_t> FilteredView::NewRows(const RecordStore& store) const {
  std::vector<uint64_t> rows;
  for (uint64_t number = std::max(seen_, store.First()); number < store.End(); ++number) {
    if (filter_.Matches(store.At(number))) rows.push_back(number);
  }
  return rows;
}

void FilteredView::Take(const std::vector<uint64_t>& rows, const RecordStore& store) {
  rows_.insert(rows_.end(), rows.begin(), rows.end());
  seen_ = store.End();
}

}  // namespace traffic
