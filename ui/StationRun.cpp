#include "ui/StationRun.h"

bool CStationRun::Start(DriverLink& link, Unit unit) {
  if (running_) return false;
  // The unit before has reported its end and is leaving its thread.
  runner_.Join();
  {
    std::lock_guard lock(mutex_);
    answer_.reset();
    pending_.clear();
  }
  const bool started = runner_.Start([this, &link, unit = std::move(unit)](std::stop_token stop) {
    testrun::RunSettings settings;
    settings.slave = unit.slave;
    settings.confirm = [this](size_t index, const std::string& text, std::stop_token asked) {
      return Confirm(index, text, std::move(asked));
    };
    settings.sampled = [this](size_t index, const recording::Sample& sample) {
      std::lock_guard lock(mutex_);
      // A window that does not take them keeps the newest half.
      if (pending_.size() >= MaxPending) pending_.erase(pending_.begin(), pending_.begin() + MaxPending / 2);
      pending_.push_back({index, sample});
    };
    auto ended = std::make_shared<Ended>();
    ended->info = unit.info;
    ended->folder = unit.folder;
    ended->unit = testrun::RunUnit(link, *unit.plan, settings, stop, [this](size_t index, const testrun::StepResult& r) {
      testrun::StepResult shown = r;
      shown.samples.reset();
      Post([this, index, shown] {
        if (listener_.stepDone) listener_.stepDone(index, shown);
      });
    });
    ended->info.recordId = testrun::RecordId(ended->unit.started, unit.info.serial);
    ended->written = testrun::WriteUnit(unit.folder, *unit.plan, ended->info, ended->unit, {});
    for (testrun::StepResult& step : ended->unit.steps) step.samples.reset();
    Post([this, ended] {
      running_ = false;
      if (listener_.ended) listener_.ended(*ended);
    });
  });
  running_ = started;
  return started;
}

void CStationRun::Stop() {
  runner_.RequestStop();
  runner_.Join();
}

void CStationRun::Answer(bool goOn) {
  std::lock_guard lock(mutex_);
  answer_ = goOn;
  answered_.notify_all();
}

std::vector<CStationRun::Reading> CStationRun::TakeReadings() {
  std::lock_guard lock(mutex_);
  std::vector<Reading> taken;
  taken.swap(pending_);
  return taken;
}

bool CStationRun::Confirm(size_t index, const std::string& text, std::stop_token stop) {
  {
    std::lock_guard lock(mutex_);
    answer_.reset();
  }
  Post([this, index, text] {
    if (listener_.prompt) listener_.prompt(index, text);
  });
  std::unique_lock lock(mutex_);
  answered_.wait(lock, stop, [this] { return answer_.has_value(); });
  return answer_.value_or(false);
}

void CStationRun::Post(std::function<void()> call) {
  // Dropped with this object when it goes first.
  QMetaObject::invokeMethod(this, std::move(call), Qt::QueuedConnection);
}
