// One unit of the production test at a time, on a thread of its own
// against the session's link: the runner's steps, the prompts that wait for
// the operator and the run step's readings come back to the window's thread
// through its event loop, so that the window never waits on the line. The
// unit's record is written on the same thread once the run has ended.
#pragma once

#include <QObject>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "base/Runner.h"
#include "testrun/ResultsFolder.h"

class CStationRun : public QObject {
 public:
  // What a unit is run with.
  struct Unit {
    std::shared_ptr<const testplan::Plan> plan;
    testrun::UnitInfo info;  // the serial, station and operator; its id is made when it starts
    std::string folder;      // the results folder, already prepared
    uint8_t slave = 1;
  };
  // How it ended, and what was written of it.
  struct Ended {
    testrun::UnitResult unit;  // without the run steps' samples, which are in the folder
    testrun::UnitInfo info;
    std::string folder;
    testrun::Written written;
  };
  // Called on the window's thread.
  struct Listener {
    std::function<void(size_t index, const testrun::StepResult& result)> stepDone;
    std::function<void(size_t index, const std::string& text)> prompt;
    std::function<void(const Ended& ended)> ended;
  };
  // One reading of the run step `index`.
  struct Reading {
    size_t index;
    recording::Sample sample;
  };
  // Readings kept for the window between two of its takes.
  static constexpr size_t MaxPending = 4096;

  explicit CStationRun(Listener listener) : listener_(std::move(listener)) {}
  // Stop(), so that the stop goes out while the link is there.
  ~CStationRun() override { Stop(); }
  CStationRun(const CStationRun&) = delete;
  CStationRun& operator=(const CStationRun&) = delete;

  // Runs `unit` on `link`, which must outlive the run. False, with nothing
  // started, while a unit runs.
  bool Start(DriverLink& link, Unit unit);
  // From Start until its end has been reported (or Stop).
  bool Running() const { return running_; }
  // Ends the step in progress as ABORTED; the motor's stop goes out on the
  // run's thread. Returns at once.
  void RequestStop() { runner_.RequestStop(); }
  // Asks for the stop and waits for the run's thread: the stop has gone out
  // and the record is written when it returns. Its end is still reported.
  void Stop();
  // The operator's answer to the prompt shown: true goes on.
  void Answer(bool goOn);
  // The readings taken since the last take, oldest first.
  std::vector<Reading> TakeReadings();

 private:
  bool Confirm(size_t index, const std::string& text, std::stop_token stop);
  void Post(std::function<void()> call);

  Listener listener_;
  bool running_ = false;
  std::mutex mutex_;
  std::condition_variable_any answered_;
  std::optional<bool> answer_;     // under mutex_
  std::vector<Reading> pending_;   // under mutex_
  base::Runner runner_;  // last: joined before the state above goes
};
