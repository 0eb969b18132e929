// "实时曲线": a window of its own beside the main window. The series to
// show (ticks, at most two units), the sliding window, pause, zoom and pan,
// the export of what is in view; the capture at the line's speed with the
// rate it reaches against the line's limit; the step test and the overlay
// of its last five runs. The recording and the capture belong to the
// session: closing this window stops neither.
#pragma once

#include <QTimer>
#include <QWidget>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "recording/Capture.h"
#include "recording/RecordingCsv.h"

namespace session {
class Session;
}
class CLivePlot;
class CStepOverlay;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;

class CPlotWindow : public QWidget {
 public:
  // What the plot takes from the main window.
  struct Owner {
    // The main window: the parent, so that its modal run does not block this one.
    QWidget* window = nullptr;
    // The recording and its clock, the capture and the line's rate.
    session::Session* session = nullptr;
    // Starts a capture at the window's address; empty when it started,
    // else why not.
    std::function<std::string(recording::CaptureRequest request)> startCapture;
    // The window's stop, its failure shown over `over`.
    std::function<bool(QWidget* over)> stopMotor;
    // Asks for a file and exports the part of the recording in `range`.
    std::function<void(recording::ExportRange range)> exportRecording;
  };

  explicit CPlotWindow(Owner owner);
  ~CPlotWindow() override;

  // The main window's capture ended (on the window's thread).
  void OnCaptureEnded(const recording::CaptureReport& report);

  // For tests and the demo.
  CLivePlot* Live() const { return live_; }
  CStepOverlay* Overlay() const { return overlay_; }
  QCheckBox* SeriesBox(size_t field) const;
  QPushButton* Button(const char* objectName) const;
  QLineEdit* Edit(const char* objectName) const;
  QComboBox* Combo(const char* objectName) const;
  QString StatusText() const;
  QString RateText() const;
  QString LimitText() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  QWidget* BuildSeries();
  QWidget* BuildView();
  QWidget* BuildCapture();
  QWidget* BuildStepTest();

  void OnSeriesToggled(QCheckBox* box);
  void OnWindowChosen(int index);
  void OnStartCapture();
  void OnStartStepTest();
  void OnStopCapture();
  void OnExportVisible();
  void StartCapture(recording::CaptureRequest request);
  void ShowProgress();
  void Say(const QString& text);
  // A word after the rate when no real line could carry it.
  QString BeyondLimit(double rate, const recording::CapturePlan& plan) const;
  std::vector<size_t> Ticked() const;
  // The entry of `edit` scaled by 10^decimals within [min, max]; a refusal
  // box naming `name` otherwise, with the focus on the edit.
  std::optional<int64_t> Entry(QLineEdit* edit, const char* name, int decimals, int64_t min, int64_t max);

  Owner owner_;
  session::Session& session_;
  CLivePlot* live_ = nullptr;
  CStepOverlay* overlay_ = nullptr;
  QTabWidget* tabs_ = nullptr;
  std::vector<QCheckBox*> series_;  // in the order of the measured fields
  QLabel* status_ = nullptr;
  QLabel* rate_ = nullptr;
  QLabel* limit_ = nullptr;
  QLineEdit* captureSeconds_ = nullptr;
  QComboBox* stepKind_ = nullptr;
  QLineEdit* stepFrequency_ = nullptr;
  QLineEdit* stepPosition_ = nullptr;
  QComboBox* positionType_ = nullptr;
  QComboBox* stopMode_ = nullptr;
  QLineEdit* stepSeconds_ = nullptr;
  recording::CapturePlan plan_;
  QTimer progress_;
};
