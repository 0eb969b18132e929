// Several drivers of the line watched together: each listed driver's status
// is read in turn on the link's worker, beside the main window's own poll,
// so the line is shared and never opened twice. A row keeps what its driver
// last said, when it last answered, how its last read ended and the reads a
// second it really gets (at 9600 bit/s a status read takes 65 ms, so eight
// drivers get under two each: the rate says so instead of a queue growing).
// A driver that did not answer is asked again only after a pause, so that
// its time-outs do not take the line from the drivers that answer.
// Thread-safe: the worker polls while the window reads the rows. No Qt here.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "driver/DriverLink.h"
#include "fields/DeviceInfoTexts.h"

namespace session {

class BusWatch {
 public:
  using Clock = std::chrono::steady_clock;
  using InfoTexts = std::array<std::string, fields::DeviceInfoFieldCount>;

  // The most drivers a line carries.
  static constexpr size_t MaxDrivers = 128;

  struct Row {
    uint8_t address = 0;
    // The device-information texts once read (or given by a scan).
    std::optional<InfoTexts> info;
    // The newest status that came back; kept while the driver is silent.
    std::optional<StatusBlock> status;
    // How the last read ended; nullopt before the first.
    std::optional<ModbusResult> lastResult;
    // Since its last answer; nullopt when it never answered.
    std::optional<Clock::duration> age;
    // Reads a second it gets now (answered or not).
    double readsPerSecond = 0;
    // The last stop sent to it by StopAll; nullopt before the first.
    std::optional<ModbusResult> stopResult;
  };

  // Lists `address` (1..128), with its identity when already known. False
  // when it is out of range, already listed or the list is full.
  bool Add(uint8_t address, const std::optional<InfoTexts>& info = std::nullopt);
  // Drops the rows of `addresses`; a read of one still out is dropped too.
  void Remove(const std::vector<uint8_t>& addresses);
  void Clear();
  bool Empty() const;
  std::vector<uint8_t> Addresses() const;
  // The rows in the order they were listed, as of `now`.
  std::vector<Row> Rows(Clock::time_point now) const;

  // On the link's worker: reads the listed drivers in turn, each its status
  // (and its identity first while unknown), going on from where the last
  // turn stopped, until `until` has passed; at least one read while one is
  // due, none while the poll is held. Returns the reads made.
  size_t PollTurn(DriverLink& link, Clock::time_point until);

  // While one lives, the poll takes no new turn (the one read it may be in
  // ends first: the link carries one transaction at a time), so that long
  // work on the listed drivers has the line to itself. Holds may overlap.
  class Hold {
   public:
    explicit Hold(BusWatch& watch) : watch_(&watch) { ++watch_->holds_; }
    ~Hold() { --watch_->holds_; }
    Hold(const Hold&) = delete;
    Hold& operator=(const Hold&) = delete;

   private:
    BusWatch* watch_;
  };

  // Sends `stopValue` to every listed driver, one right after the other,
  // with the poll held meanwhile; each row keeps how its stop ended.
  // Returns the addresses with their results, in list order.
  std::vector<std::pair<uint8_t, ModbusResult>> StopAll(DriverLink& link, uint16_t stopValue);

 private:
  struct Entry {
    Row row;
    std::optional<Clock::time_point> answeredAt;
    // The rate is counted over windows of this length.
    Clock::time_point windowStart{};
    unsigned inWindow = 0;
    // Not asked before this after a read that failed.
    Clock::time_point notBefore{};
  };
  // How long a driver that did not answer waits for its next read.
  static constexpr Clock::duration SilentPause = std::chrono::seconds(2);
  static constexpr Clock::duration RateWindow = std::chrono::seconds(2);

  // The next driver due at `now`, or none.
  std::optional<uint8_t> TakeNext(Clock::time_point now, bool& needsInfo);
  void Store(uint8_t address, Clock::time_point at, ModbusResult result, const StatusBlock* status,
             const InfoTexts* info);

  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  size_t next_ = 0;
  std::atomic<unsigned> holds_{0};
};

}  // namespace session
