// The judging of a measured value against its limits and marginal band, and
// the statistics of a window.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "testrun/Judge.h"

namespace {

using testrun::Outcome;
using testrun::Statistics;
using testplan::Measurement;
using testplan::Statistic;

Measurement Limits(std::optional<double> low, std::optional<double> high, double marginal) {
  Measurement m;
  m.low = low;
  m.high = high;
  m.marginal = marginal;
  return m;
}

TEST(Judge, LimitsAndTheMarginalBand) {
  struct Case {
    std::optional<double> low, high;
    double marginal;
    std::optional<double> value;
    Outcome outcome;
  };
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const Case cases[] = {
      {950, 1050, 10, 1000, Outcome::Pass},
      {950, 1050, 10, 950, Outcome::Marginal},   // on the limit: inside, in the band
      {950, 1050, 10, 1050, Outcome::Marginal},
      {950, 1050, 10, 959.9, Outcome::Marginal},
      {950, 1050, 10, 960, Outcome::Pass},       // the band's far edge passes
      {950, 1050, 10, 1040, Outcome::Pass},
      {950, 1050, 10, 1040.1, Outcome::Marginal},
      {950, 1050, 10, 949.99, Outcome::Fail},
      {950, 1050, 10, 1050.01, Outcome::Fail},
      {950, 1050, 0, 950, Outcome::Pass},        // no band: the limit itself passes
      {950, 1050, 0, 1050, Outcome::Pass},
      {std::nullopt, 2.5, 0.5, 0, Outcome::Pass},  // one limit only
      {std::nullopt, 2.5, 0.5, 2.2, Outcome::Marginal},
      {std::nullopt, 2.5, 0.5, -1e6, Outcome::Pass},
      {100, std::nullopt, 0, 1e9, Outcome::Pass},
      {100, std::nullopt, 0, 99, Outcome::Fail},
      {0, 0, 0, 0, Outcome::Pass},               // a window of one value
      {0, 0, 0, 0.001, Outcome::Fail},
      // Register counts scaled into the unit: 250 × 0.01 A is the limit 2.5 A.
      {std::nullopt, 2.5, 0, 250 * 0.01, Outcome::Pass},
      {std::nullopt, 0.3, 0, 0.1 + 0.2, Outcome::Pass},
      {0.3, std::nullopt, 0.1, 0.1 + 0.2 + 0.1, Outcome::Pass},
      {950, 1050, 10, std::nullopt, Outcome::Fail},  // nothing read
      {950, 1050, 10, nan, Outcome::Fail},
      {950, 1050, 10, std::numeric_limits<double>::infinity(), Outcome::Fail},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(testrun::Judge(Limits(c.low, c.high, c.marginal), c.value), c.outcome)
        << c.low.value_or(-0.0) << ".." << c.high.value_or(-0.0) << " ±" << c.marginal << ": " << c.value.value_or(-0.0);
  }
}

TEST(Judge, OutcomesOrderBySeverity) {
  EXPECT_EQ(testrun::Worse(Outcome::Pass, Outcome::Marginal), Outcome::Marginal);
  EXPECT_EQ(testrun::Worse(Outcome::Error, Outcome::Fail), Outcome::Error);
  EXPECT_EQ(testrun::Worse(Outcome::Aborted, Outcome::Error), Outcome::Aborted);
  EXPECT_TRUE(testrun::Passed(Outcome::Marginal));
  EXPECT_FALSE(testrun::Passed(Outcome::Fail));
}

TEST(Statistics, OfAWindow) {
  Statistics none;
  EXPECT_FALSE(none.Of(Statistic::Mean).has_value());
  Statistics s;
  for (const double v : {2.0, 4.0, 4.0, 4.0, 5.0, 5.0, 7.0, 9.0}) s.Add(v);
  EXPECT_DOUBLE_EQ(*s.Of(Statistic::Mean), 5.0);
  EXPECT_DOUBLE_EQ(*s.Of(Statistic::Minimum), 2.0);
  EXPECT_DOUBLE_EQ(*s.Of(Statistic::Maximum), 9.0);
  EXPECT_DOUBLE_EQ(*s.Of(Statistic::StandardDeviation), 2.0);
  // Near-equal values far from zero keep their spread.
  Statistics large;
  for (int i = 0; i < 1000; ++i) large.Add(1e9 + (i % 2));
  EXPECT_NEAR(*large.Of(Statistic::StandardDeviation), 0.5, 1e-6);
  EXPECT_NEAR(*large.Of(Statistic::Mean), 1e9 + 0.5, 1e-6);
}

}  // namespace
