#include "session/BusWatch.h"

#include <algorithm>

namespace session {

bool BusWatch::Add(uint8_t address, const std::optional<InfoTexts>& info) {
  if (address < 1 || address > MaxDrivers) return false;
  std::lock_guard lock(mutex_);
  if (entries_.size() >= MaxDrivers) return false;
  const bool listed =
      std::any_of(entries_.begin(), entries_.end(), [address](const Entry& e) { return e.row.address == address; });
  if (listed) return false;
  Entry entry;
  entry.row.address = address;
  entry.row.info = info;
  entry.windowStart = Clock::now();
  entries_.push_back(std::move(entry));
  return true;
}

void BusWatch::Remove(const std::vector<uint8_t>& addresses) {
  std::lock_guard lock(mutex_);
  std::erase_if(entries_, [&addresses](const Entry& e) {
    return std::find(addresses.begin(), addresses.end(), e.row.address) != addresses.end();
  });
  next_ = 0;
}

void BusWatch::Clear() {
  std::lock_guard lock(mutex_);
  entries_.clear();
  next_ = 0;
}

bool BusWatch::Empty() const {
  std::lock_guard lock(mutex_);
  return entries_.empty();
}

std::vector<uint8_t> BusWatch::Addresses() const {
  std::lock_guard lock(mutex_);
  std::vector<uint8_t> addresses;
  for (const Entry& entry : entries_) addresses.push_back(entry.row.address);
  return addresses;
}

std::vector<BusWatch::Row> BusWatch::Rows(Clock::time_point now) const {
  std::lock_guard lock(mutex_);
  std::vector<Row> rows;
  rows.reserve(entries_.size());
  for (const Entry& entry : entries_) {
    Row row = entry.row;
    if (entry.answeredAt) row.age = now - *entry.answeredAt;
    // A window long overdue (the poll stopped: port closed, stops going
    // out) brings the rate down instead of showing the last one forever.
    const Clock::duration open = now - entry.windowStart;
    if (open > 2 * RateWindow) row.readsPerSecond = entry.inWindow / std::chrono::duration<double>(open).count();
    rows.push_back(std::move(row));
  }
  return rows;
}

std::optional<uint8_t> BusWatch::TakeNext(Clock::time_point now, bool& needsInfo) {
  std::lock_guard lock(mutex_);
  for (size_t looked = 0; looked < entries_.size(); ++looked) {
    if (next_ >= entries_.size()) next_ = 0;
    const Entry& entry = entries_[next_++];
    if (entry.notBefore > now) continue;
    needsInfo = !entry.row.info.has_value();
    return entry.row.address;
  }
  return std::nullopt;
}

void BusWatch::Store(uint8_t address, Clock::time_point at, ModbusResult result, const StatusBlock* status,
                     const InfoTexts* info) {
  std::lock_guard lock(mutex_);
  // Removed meanwhile: the read is dropped.
  auto it =
      std::find_if(entries_.begin(), entries_.end(), [address](const Entry& e) { return e.row.address == address; });
  if (it == entries_.end()) return;
  Entry& entry = *it;
  entry.row.lastResult = result;
  entry.notBefore = result == ResultSuccess ? Clock::time_point{} : at + SilentPause;
  if (result == ResultSuccess) {
    entry.answeredAt = at;
    if (status != nullptr) entry.row.status = *status;
    if (info != nullptr) entry.row.info = *info;
  }
  ++entry.inWindow;
  const Clock::duration open = at - entry.windowStart;
  if (open >= RateWindow) {
    entry.row.readsPerSecond = entry.inWindow / std::chrono::duration<double>(open).count();
    entry.windowStart = at;
    entry.inWindow = 0;
  }
}

size_t BusWatch::PollTurn(DriverLink& link, Clock::time_point until) {
  size_t reads = 0;
  do {
    if (holds_.load() > 0) break;
    bool needsInfo = false;
    const std::optional<uint8_t> address = TakeNext(Clock::now(), needsInfo);
    if (!address) break;
    if (needsInfo) {
      DeviceInfoBlock block{};
      const ModbusResult result = link.ReadDeviceInfo(*address, block);
      ++reads;
      if (result == ResultSuccess) {
        const InfoTexts texts = fields::DeviceInfoTexts(block);
        Store(*address, Clock::now(), result, nullptr, &texts);
      } else {
        Store(*address, Clock::now(), result, nullptr, nullptr);
        continue;  // its status waits for its next turn
      }
    }
    StatusBlock status{};
    const ModbusResult result = link.ReadStatus(*address, status);
    ++reads;
    Store(*address, Clock::now(), result, &status, nullptr);
  } while (Clock::now() < until);
  return reads;
}

std::vector<std::pair<uint8_t, ModbusResult>> BusWatch::StopAll(DriverLink& link, uint16_t stopValue) {
  const Hold held(*this);
  std::vector<std::pair<uint8_t, ModbusResult>> results;
  for (uint8_t address : Addresses()) results.emplace_back(address, link.WriteStopCommand(address, stopValue));
  {
    std::lock_guard lock(mutex_);
    for (const auto& [address, result] : results) {
      for (Entry& entry : entries_) {
        if (entry.row.address == address) entry.row.stopResult = result;
      }
    }
  }
  return results;
}

}  // namespace session
