// How a unit's test comes out: the outcomes from best to worst, the
// statistics of a measuring window and the judging of one value against its
// limits and marginal band. Pure: no link, no clock.
#pragma once

#include <cstddef>
#include <optional>

#include "testplan/Plan.h"

namespace testrun {

// In order of severity: a unit's outcome is its worst step's.
enum class Outcome { Pass, Marginal, Fail, Error, Aborted };

// "PASS", "MARGINAL", "FAIL", "ERROR", "ABORTED": the same in every file
// and language, for scripts and the station's tallies.
const char* OutcomeName(Outcome outcome);
inline Outcome Worse(Outcome a, Outcome b) { return a < b ? b : a; }
// A PASS or a MARGINAL: the unit goes on.
inline bool Passed(Outcome outcome) { return outcome <= Outcome::Marginal; }

// Mean, minimum, maximum and standard deviation of the values of a window,
// taken one at a time in constant memory (Welford's running sums, so that a
// long window of near-equal values keeps its digits).
class Statistics {
 public:
  void Add(double value);
  size_t Count() const { return count_; }
  // Nothing before the first value. The deviation is the population's:
  // the window is all the readings there are, not a sample of them.
  std::optional<double> Of(testplan::Statistic statistic) const;

 private:
  size_t count_ = 0;
  double mean_ = 0;
  double squares_ = 0;  // sum of squared differences from the mean
  double min_ = 0;
  double max_ = 0;
};

// `value` against the measurement's limits: outside them FAIL, within
// `marginal` of a limit (the limit itself included, the band's far edge
// not) MARGINAL, else PASS; no value at all is a FAIL. Values that differ
// from a limit by no more than rounding (a current of 250 × 0.01 A against
// a limit of 2.5 A) count as the limit.
Outcome Judge(const testplan::Measurement& measurement, std::optional<double> value);

}  // namespace testrun
