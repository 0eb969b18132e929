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
  size_t gone = 0;
  while (!rows_.empty() && rows_.front() < store.First()) {
    rows_.pop_front();
    ++gone;
  }
  for (uint64_t number = std::max(seen_, store.First()); number < store.End(); ++number) {
    if (filter_.Matches(store.At(number))) rows_.push_back(number);
  }
  seen_ = store.End();
  return gone;
}

}  // namespace traffic
