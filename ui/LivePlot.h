// The live plot of the recording: one line per measured value (the ticked
// ones shown), a window of 10 s to 10 min sliding with the clock, gaps
// where a read failed, marks where a command went out or the error state
// changed, a cursor that reads every shown series at one time. It takes
// what the recording has added on its own timer, on the window's thread,
// and redraws no more often than the window slides by a pixel (at most 30
// times a second). Zooming by a box or panning leaves the live view until
// BackToLive; a pause holds the view while the recording goes on.
#pragma once

#include <QElapsedTimer>
#include <QRectF>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <vector>

#include "recording/RecordingCsv.h"
#include "recording/StatusRecording.h"

class QCustomPlot;
class QCPGraph;
class QCPItemStraightLine;
class QCPAbstractItem;
class QCPItemText;
class QLabel;
class QMouseEvent;

class CLivePlot : public QWidget {
 public:
  // Samples of at most this long ago are kept for the view (the longest window).
  static constexpr double KeptSeconds = 600;
  static constexpr int MinRedrawMs = 34;  // 30 a second at most
  static constexpr int MaxRedrawMs = 1000;

  // `now`: where the live view's right edge is, in recording time.
  CLivePlot(const recording::StatusRecording& recording, std::function<recording::Micros()> now,
            QWidget* parent = nullptr);
  ~CLivePlot() override;

  void SetShown(std::vector<size_t> fields);
  const std::vector<size_t>& Shown() const { return shown_; }
  void SetWindowSeconds(double seconds);
  void SetPaused(bool paused);
  bool Paused() const { return paused_; }
  // Follows the clock again, with the vertical range fitted.
  void BackToLive();
  bool Live() const { return live_ && !paused_; }
  // Left button: a box zooms (true) or a drag pans (false).
  void SetBoxZoom(bool box);

  // The part of the recording in view, for its export.
  recording::ExportRange Visible() const;
  // Takes what the recording added and redraws when due (its timer calls it).
  void Refresh();
  // The points a shown series holds now, and the redraws so far.
  int PointCount(size_t field) const;
  int Redraws() const { return redraws_; }
  // Marks in view and kept.
  int MarkCount() const;
  // Where the texts of the marks are drawn, in the plot's pixels.
  std::vector<QRectF> MarkTextRects() const;
  QString CursorText() const;
  QCustomPlot* Plot() const { return plot_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The axes' titles and the series' names in the language now in use.
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  QCPGraph* GraphOf(size_t field) const;
  void Restart();
  bool TakeSamples();
  bool TakeMarks();
  void DropOld(double newestKey);
  void FitMarkTexts();
  void SetKeyRange(double lower, double upper);
  void PlaceCursor(double key);
  void UpdateTimer();

  const recording::StatusRecording& recording_;
  std::function<recording::Micros()> now_;
  QCustomPlot* plot_ = nullptr;
  QLabel* cursorLabel_ = nullptr;
  QCPItemStraightLine* cursor_ = nullptr;
  std::vector<QCPGraph*> graphs_;  // one per measured field, in its order
  std::vector<size_t> shown_;
  std::vector<recording::Sample> copyBlock_;  // reused by every take of samples
  struct PlacedMark {
    double key;
    QCPAbstractItem* line;
    QCPItemText* text;
  };
  std::vector<PlacedMark> marks_;
  recording::SteadyClock::time_point start_;
  uint64_t nextSample_ = 0;
  uint64_t nextMark_ = 0;
  double newestKey_ = 0;
  double drawnRight_ = 0;  // the live view's right edge when it was last drawn
  double windowSeconds_ = 60;
  bool live_ = true;
  bool paused_ = false;
  bool userValues_ = false;  // the operator chose the vertical range
  bool settingRange_ = false;
  bool dirty_ = true;
  double cursorKey_ = -1;
  int redraws_ = 0;
  QTimer timer_;
};
