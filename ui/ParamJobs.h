// The long work of the parameter files (reading every block, a restore)
// on a thread of its own, with a progress dialog over the window that asked
// for it and a cancel button that stops the work between two transactions.
// The window's thread never waits on the line: it hands the work over and
// hears its end through its own event loop. One job at a time.
#pragma once

#include <QObject>
#include <QPointer>
#include <QProgressDialog>
#include <QString>
#include <functional>

#include "base/Runner.h"
#include "paramfile/Transfer.h"

class CParamJobs : public QObject {
 public:
  CParamJobs() = default;
  // Stop().
  ~CParamJobs() override;
  CParamJobs(const CParamJobs&) = delete;
  CParamJobs& operator=(const CParamJobs&) = delete;

  // Runs `job` on the job thread with a progress dialog titled `title` over
  // `over`; `done` gets its result on the user-interface thread, unless
  // Stop came first. False, with nothing started, while another job runs.
  template <class Result>
  bool Run(QWidget* over, const QString& title, std::function<Result(const paramfile::Work&)> job,
           std::function<void(const Result&)> done) {
    return Start(over, title, [job = std::move(job), done = std::move(done)](const paramfile::Work& work) {
      Result result = job(work);
      return std::function<void()>([done, result = std::move(result)] { done(result); });
    });
  }
  bool Running() const { return running_; }
  // Asks a job to stop and waits for its thread, which then ends at its next
  // step (the window closes the port first, so no step waits long). Its end
  // is not reported.
  void Stop();
  // The progress dialog while a job runs, else nullptr.
  QProgressDialog* Progress() const { return progress_; }

 private:
  // The job gives back what is to be run on the user-interface thread.
  using Job = std::function<std::function<void()>(const paramfile::Work&)>;
  bool Start(QWidget* over, const QString& title, Job job);
  // User-interface thread: a step begins, or the job has ended.
  void ShowStep(unsigned run, size_t done, size_t total, const QString& step);
  void Finish(unsigned run, const std::function<void()>& report);

  QPointer<QProgressDialog> progress_;
  unsigned run_ = 0;  // which job a report belongs to
  bool running_ = false;
  bool stopped_ = false;
  base::Runner runner_;  // last: joined before the state above goes
};
