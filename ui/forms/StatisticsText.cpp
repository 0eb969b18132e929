#include "ui/forms/StatisticsText.h"

#include <algorithm>
#include <cinttypes>

#include "fields/CFormat.h"
#include "lang/Texts.h"

namespace forms {
namespace {

// Milliseconds as the line shows them: whole from 10 ms on, where the line's
// own speed is what one reads, tenths below, where a fast link would
// otherwise read 0. 9.96 ms is "10", not "10.0".
std::string Millis(std::chrono::microseconds value) {
  const double ms = static_cast<double>(value.count()) / 1000.0;
  return ms < 9.95 ? fields::CFormat("%.1f", ms) : fields::CFormat("%.0f", ms);
}

}  // namespace

std::string StatisticsText(const LinkStatistics& s, double pollsPerSecond) {
  const bool answered = s.Answered() > 0;
  const std::string mean = answered ? Millis(s.MeanRoundTrip()) : "-";
  const std::string last = answered ? Millis(s.lastRoundTrip) : "-";
  return lang::Fill(lang::Tr("收发 {1}  成功 {2}  超时 {3}  错误 {4}  异常 {5}  往返 {6}/{7} ms  轮询 {8} 次/秒"),
                    {std::to_string(s.transactions), std::to_string(s.successes), std::to_string(s.timeouts),
                     std::to_string(s.badResponses), std::to_string(s.exceptions), mean, last,
                     fields::CFormat("%.1f", pollsPerSecond)});
}

void PollRate::Restart(Clock::time_point now) {
  back_.clear();
  since_ = now;
}

void PollRate::Count(Clock::time_point at) {
  back_.push_back(at);
  while (!back_.empty() && back_.front() <= at - Span) back_.pop_front();
}

double PollRate::PerSecond(Clock::time_point now) const {
  const Clock::time_point from = std::max(now - Span, since_);
  if (now <= from) return 0.0;
  const auto counted = std::count_if(back_.begin(), back_.end(), [&](Clock::time_point t) { return t > from && t <= now; });
  return static_cast<double>(counted) / std::chrono::duration<double>(now - from).count();
}

}  // namespace forms
