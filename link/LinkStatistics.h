// What the link counts of its transactions: every transaction that reached
// the line, whichever thread ran it, since the port was last opened.
#pragma once

#include <chrono>
#include <cstdint>

#include "link/FrameCodec.h"

struct LinkStatistics {
  uint64_t transactions = 0;  // every one below, and nothing else
  uint64_t successes = 0;
  uint64_t timeouts = 0;      // no answer in time, or the request was not sent
  uint64_t badResponses = 0;  // an answer that does not answer the request
  uint64_t exceptions = 0;    // the driver's exception answers
  // Not transactions: answers of a Modbus TCP gateway that came for an
  // earlier request (its identifier told) and were dropped.
  uint64_t staleAnswers = 0;
  // Request sent to answer judged, over the answered transactions (all but
  // the time-outs, whose 500 ms would say nothing about the line).
  std::chrono::microseconds totalRoundTrip{0};
  std::chrono::microseconds lastRoundTrip{0};

  uint64_t Answered() const { return successes + badResponses + exceptions; }
  // Zero while nothing has been answered.
  std::chrono::microseconds MeanRoundTrip() const;
};

// Counts one transaction that ended with `result` after `roundTrip`.
void CountTransaction(LinkStatistics& statistics, ModbusResult result, std::chrono::microseconds roundTrip);
