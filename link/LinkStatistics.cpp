#include "link/LinkStatistics.h"

std::chrono::microseconds LinkStatistics::MeanRoundTrip() const {
  const uint64_t answered = Answered();
  if (answered == 0) return std::chrono::microseconds{0};
  return std::chrono::microseconds{totalRoundTrip.count() / static_cast<int64_t>(answered)};
}

void CountTransaction(LinkStatistics& statistics, ModbusResult result, std::chrono::microseconds roundTrip) {
  ++statistics.transactions;
  if (result == ResultTimeout) {
    ++statistics.timeouts;
    return;
  }
  if (result == ResultSuccess) {
    ++statistics.successes;
  } else if (result >= 0x01 && result <= 0x7F) {
    ++statistics.exceptions;
  } else {
    ++statistics.badResponses;  // the only other end an answer can have
  }
  statistics.totalRoundTrip += roundTrip;
  statistics.lastRoundTrip = roundTrip;
}
