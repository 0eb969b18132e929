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
  const std::vector<size_t>& Shown() const { return m_shown; }
  void SetWindowSeconds(double seconds);
  void SetPaused(bool paused);
  bool Paused() const { return m_paused; }
  // Follows the clock again, with the vertical range fitted.
  void BackToLive();
  bool Live() const { return m_live && !m_paused; }
  // Left button: a box zooms (true) or a drag pans (false).
  void SetBoxZoom(bool box);

  // The part of the recording in view, for its export.
  recording::ExportRange Visible() const;
  // Takes what the recording added and redraws when due (its timer calls it).
  void Refresh();
  // The points a shown series holds now, and the redraws so far.
  int PointCount(size_t field) const;
  int Redraws() const { return m_redraws; }
  // Marks in view and kept.
  int MarkCount() const;
  // Where the texts of the marks are drawn, in the plot's pixels.
  std::vector<QRectF> MarkTextRects() const;
  // The words of the mark kept `index`-th, oldest first.
  QString MarkText(int index) const;
  QString CursorText() const;
  QCustomPlot* Plot() const { return m_plot; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // The axes' titles and the series' names in the language now in use.
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  // A recording's time as the time axis counts it: seconds.
  static double KeyOf(recording::Micros time) { return static_cast<double>(time) / 1e6; }
  QCPGraph* GraphOf(size_t field) const;
  void Restart();
  bool TakeSamples();
  bool TakeMarks();
  void DropOld(double newestKey);
  void FitMarkTexts();
  void SetKeyRange(double lower, double upper);
  void PlaceCursor(double key);
  void UpdateTimer();

  const recording::StatusRecording& m_recording;
  std::function<recording::Micros()> m_now;
  QCustomPlot* m_plot = nullptr;
  QLabel* m_cursorLabel = nullptr;
  QCPItemStraightLine* m_cursor = nullptr;
  std::vector<QCPGraph*> m_graphs;  // one per measured field, in its order
  std::vector<size_t> m_shown;
  std::vector<recording::Sample> m_copyBlock;  // reused by every take of samples
  struct PlacedMark {
    double key;
    QCPAbstractItem* line;
    QCPItemText* text;
    int width;  // of the text with its padding, in pixels
    recording::Mark meaning;  // its words made again when the language changes
  };
  // The mark's words in the language in use, measured once: shaping the
  // text at every redraw would cost more than drawing it.
  static void Word(PlacedMark& mark);
  std::vector<PlacedMark> m_marks;
  recording::SteadyClock::time_point m_start;
  uint64_t m_nextSample = 0;
  uint64_t m_nextMark = 0;
  double m_newestKey = 0;
  double m_drawnRight = 0;  // the live view's right edge when it was last drawn
  double m_windowSeconds = 60;
  bool m_live = true;
  bool m_paused = false;
  bool m_userValues = false;  // the operator chose the vertical range
  bool m_settingRange = false;
  bool m_dirty = true;
  double m_cursorKey = -1;
  int m_redraws = 0;
  QTimer m_timer;
};
