// The live curve of the station's running step: each field its measurements
// judge, over the step's time from its command, fed with the readings as
// they come and drawn again at most once a take.
#pragma once

#include <QWidget>
#include <vector>

#include "recording/StatusRecording.h"

class QCustomPlot;

class CStationPlot : public QWidget {
 public:
  // A step's readings kept for the curve: a long window is thinned as it
  // grows rather than kept whole.
  static constexpr int MaxPoints = 4000;

  explicit CStationPlot(QWidget* parent = nullptr);

  // A new step: its fields (indexes into fields::StatusFields(); those of
  // a third unit and after are left out), no points.
  void Begin(std::vector<size_t> fields);
  // The step's readings; then drawn again.
  void Add(const std::vector<recording::Sample>& samples);
  const std::vector<size_t>& Fields() const { return m_fields; }
  int PointCount() const;
  QCustomPlot* Plot() const { return m_plot; }

 protected:
  void changeEvent(QEvent* event) override;

 private:
  void Name();

  QCustomPlot* m_plot = nullptr;
  std::vector<size_t> m_fields;
};
