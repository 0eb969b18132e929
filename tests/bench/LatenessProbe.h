// What the window benchmarks share: running the event loop for a while, and
// a 10 ms timer on the window's thread whose lateness tells how responsive
// that thread stays.
#pragma once

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>
#include <vector>

#include "BenchFigures.h"

namespace bench {

// Runs the event loop for `ms` milliseconds.
inline void RunEvents(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// How late the probe came: median, 99th percentile, maximum, of so many firings.
struct Lateness {
  double medianMs = 0, p99Ms = 0, maxMs = 0;
  size_t firings = 0;
};

// From Start to Stop: how late each firing came after the one before.
class LatenessProbe {
 public:
  static constexpr int PeriodMs = 10;

  LatenessProbe() {
    timer_.setTimerType(Qt::PreciseTimer);
    timer_.setInterval(PeriodMs);
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      const qint64 now = clock_.nsecsElapsed();
      if (previous_ >= 0) lateMs_.push_back(std::max(0.0, (now - previous_) / 1e6 - PeriodMs));
      previous_ = now;
    });
  }
  void Start() {
    clock_.start();
    timer_.start();
  }
  // Seconds since Start.
  double Stop() {
    timer_.stop();
    std::sort(lateMs_.begin(), lateMs_.end());
    return clock_.nsecsElapsed() / 1e9;
  }
  // Sorted once stopped.
  const std::vector<double>& LateMs() const { return lateMs_; }
  Lateness Figures() const {
    return {At(lateMs_, 0.5), At(lateMs_, 0.99), lateMs_.empty() ? 0.0 : lateMs_.back(), lateMs_.size()};
  }

 private:
  QTimer timer_;
  QElapsedTimer clock_;
  qint64 previous_ = -1;
  std::vector<double> lateMs_;
};

}  // namespace bench
