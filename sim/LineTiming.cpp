#include "sim/LineTiming.h"

namespace sim {

std::vector<AnswerPiece> ScheduleAnswer(const Reply& reply, Clock::time_point start, unsigned baud) {
  std::vector<AnswerPiece> pieces;
  const bool split = reply.splitAt > 0 && reply.splitAt < reply.bytes.size();
  const Clock::time_point first = start + reply.delay;
  for (size_t i = 0; i < reply.bytes.size(); ++i) {
    Clock::time_point at = first + reply.pieceGap * static_cast<long long>(i);
    if (split && i >= reply.splitAt) at += reply.splitGap;
    if (baud > 0) at += WireTime(i + 1, baud);
    // Bytes due together go in one write.
    if (!pieces.empty() && pieces.back().at == at) {
      pieces.back().end = i + 1;
    } else {
      pieces.push_back({i + 1, at});
    }
  }
  return pieces;
}

}  // namespace sim
