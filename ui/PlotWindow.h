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
#include "ui/ControlMap.h"
#include "ui/FieldForm.h"

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
  CLivePlot* Live() const { return m_live; }
  CStepOverlay* Overlay() const { return m_overlay; }
  QCheckBox* SeriesBox(size_t field) const;
  QPushButton* Button(const char* objectName) const;
  QLineEdit* Edit(const char* objectName) const;
  QComboBox* Combo(const char* objectName) const;
  QString StatusText() const;
  QString RateText() const;
  QString LimitText() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  // The texts made at run time, made again in the language now in use.
  void changeEvent(QEvent* event) override;

 private:
  // The series, the view, the capture and the step test, from the window's
  // tables of controls, on the panel beside the plot.
  QWidget* BuildPanel();
  void FitPanel(QWidget* panel);
  // Each series' box: its field's name and unit.
  void NameSeries();

  void OnSeriesToggled(QCheckBox* box);
  void OnWindowChosen(int index);
  void OnStartCapture();
  void OnStartStepTest();
  void OnStopCapture();
  void OnExportVisible();
  void StartCapture(recording::CaptureRequest request);
  void ShowProgress();
  // The status line, made by `text` now and again after a switch of
  // language; nullptr clears it.
  void Say(std::function<QString()> text);
  static void SetText(QLabel* label, const QString& text);
  // A word after the rate when no real line could carry it.
  QString BeyondLimit(double rate, const recording::CapturePlan& plan) const;
  std::vector<size_t> Ticked() const;
  // The number typed into entry `entry` of the window's controls, in counts
  // of its decimals within [min, max]; a refusal box with the entry's range
  // otherwise, with the focus on the edit.
  std::optional<int64_t> Entry(size_t entry, int64_t min, int64_t max);
  void Refuse(size_t entry, const std::string& message);
  // The register value of the item chosen in list entry `entry`.
  uint16_t ChosenValue(size_t entry) const;
  template <class T>
  T* Get(int controlId) const {
    return m_controls.As<T>(controlId);
  }

  Owner m_owner;
  session::Session& m_session;
  ControlMap m_controls;
  FieldForm m_form;  // the entries and lists, with what they show at first
  CLivePlot* m_live = nullptr;
  CStepOverlay* m_overlay = nullptr;
  QTabWidget* m_tabs = nullptr;
  QWidget* m_panel = nullptr;
  std::vector<QCheckBox*> m_series;  // in the order of the measured fields
  QLabel* m_status = nullptr;
  QLabel* m_rate = nullptr;
  QLabel* m_limit = nullptr;
  std::function<QString()> m_statusText;
  std::function<QString()> m_rateText;  // the rate a capture reached, once it ended
  recording::CapturePlan m_plan;
  QTimer m_progress;
};
