#include "testrun/Judge.h"

#include <algorithm>
#include <cmath>

namespace testrun {
namespace {

// Register counts scaled to units carry binary rounding; a limit is
// written in decimal.
double Slack(const testplan::Measurement& m) {
  const double scale = std::max({1.0, std::fabs(m.low.value_or(0)), std::fabs(m.high.value_or(0))});
  return scale * 1e-9;
}

}  // namespace

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Pass: return "PASS";
    case Outcome::Marginal: return "MARGINAL";
    case Outcome::Fail: return "FAIL";
    case Outcome::Error: return "ERROR";
    case Outcome::Aborted: return "ABORTED";
  }
  return "ERROR";
}

void Statistics::Add(double value) {
  ++count_;
  if (count_ == 1) {
    mean_ = min_ = max_ = value;
    squares_ = 0;
    return;
  }
  const double delta = value - mean_;
  mean_ += delta / static_cast<double>(count_);
  squares_ += delta * (value - mean_);
  min_ = std::min(min_, value);
  max_ = std::max(max_, value);
}

std::optional<double> Statistics::Of(testplan::Statistic statistic) const {
  if (count_ == 0) return std::nullopt;
  switch (statistic) {
    case testplan::Statistic::Mean: return mean_;
    case testplan::Statistic::Minimum: return min_;
    case testplan::Statistic::Maximum: return max_;
    case testplan::Statistic::StandardDeviation: return std::sqrt(std::max(0.0, squares_ / static_cast<double>(count_)));
  }
  return std::nullopt;
}

Outcome Judge(const testplan::Measurement& m, std::optional<double> value) {
  if (!value || !std::isfinite(*value)) return Outcome::Fail;
  const double slack = Slack(m);
  const double v = *value;
  if (m.low && v < *m.low - slack) return Outcome::Fail;
  if (m.high && v > *m.high + slack) return Outcome::Fail;
  if (m.marginal > 0) {
    if (m.low && v < *m.low + m.marginal - slack) return Outcome::Marginal;
    if (m.high && v > *m.high - m.marginal + slack) return Outcome::Marginal;
  }
  return Outcome::Pass;
}

}  // namespace testrun
