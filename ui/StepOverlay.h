// The last step tests laid over each other, their times counted from the
// command, so that the responses to different gains can be compared: each
// shown series once per run, the newest run the strongest.
#pragma once

#include <QWidget>
#include <deque>
#include <memory>
#include <vector>

#include "recording/Capture.h"

class QCustomPlot;

class CStepOverlay : public QWidget {
 public:
  static constexpr size_t Runs = 5;

  explicit CStepOverlay(QWidget* parent = nullptr);

  // Keeps the newest Runs runs.
  void AddRun(std::shared_ptr<const recording::StepRun> run);
  void SetShown(std::vector<size_t> fields);
  size_t RunCount() const { return m_runs.size(); }
  QCustomPlot* Plot() const { return m_plot; }

 protected:
  // The axes and the runs' names in the language now in use.
  void changeEvent(QEvent* event) override;

 private:
  // The axes, their titles and a graph per shown series of each run.
  void Redraw();

  QCustomPlot* m_plot = nullptr;
  std::deque<std::shared_ptr<const recording::StepRun>> m_runs;
  std::vector<size_t> m_shown;
};
