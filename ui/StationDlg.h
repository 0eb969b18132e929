// "生产测试": the operator's station. A plan is chosen (shown by its name,
// revision and the start of its hash; it is not edited here); the serial
// entry has the focus and takes a barcode scanner's Enter as "开始"; the
// plan's steps show their state as they run, the running step's measured
// fields are drawn live, and a large banner gives the unit's outcome. The
// counters and the last results are those since the window was opened, each
// result's report one click away. "停止" and F9 end the unit as ABORTED and
// stop the motor; a prompt of the plan waits for "继续" or "中止".
//
// The unit runs on a thread of its own against the session's link
// (CStationRun); the main window's status poll waits meanwhile, as it does
// for a capture. Closing the window while a unit runs stops it and waits
// for its stop and its record. Each record, once written, goes to the
// plant's broker when one is named (CStationPublish).
#pragma once

#include <QDialog>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "session/Session.h"
#include "testrun/ResultsFolder.h"
#include "ui/StationPublish.h"
#include "ui/StationRun.h"

class CStationPlot;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class CStationDlg : public QDialog {
 public:
  struct Owner {
    QWidget* window = nullptr;  // the parent
    session::Session* session = nullptr;
    // Something else holds the line now (a capture, a parameter job).
    std::function<bool()> otherWork;
    // The main window's stop of the motor, for "停止" while no unit runs.
    std::function<void()> stopMotor;
  };
  // The last units listed.
  static constexpr int MaxRecent = 20;

  explicit CStationDlg(Owner owner);
  ~CStationDlg() override;

  // Loads the plan at `path` as the station's; a plan that does not load is
  // refused in a box and the one before stays. True when it loaded.
  bool LoadPlan(const std::string& path);
  // "选择...": asks for a plan file.
  void ChoosePlan();
  // "开始" (and Enter in the serial entry): checks what the unit needs and
  // starts it; a refusal is shown in a box and nothing is sent.
  void Start();
  // "停止" (and F9 while a unit runs): the unit ends as ABORTED, its run
  // step's stop goes out; without a unit, the main window's stop.
  void StopRun();
  // The prompt's "继续" and "中止".
  void Continue();
  void Abort();
  bool Running() const { return m_run.Running(); }

  // The result file of the listed unit `row` (0: the newest): its report
  // page when there is one, else its record; empty when neither was kept.
  std::string ResultFile(int row) const;
  // A click on a listed unit opens its result file.
  void OpenResult(int row);

  QLineEdit* SerialEntry() const { return m_serial; }
  QLineEdit* FolderEntry() const { return m_folder; }
  QLineEdit* BrokerEntry() const { return m_broker; }
  QLineEdit* StationEntry() const { return m_station; }
  QLabel* BrokerState() const { return m_brokerState; }
  QLabel* Banner() const { return m_banner; }
  QLabel* Counters() const { return m_counters; }
  QLabel* PromptText() const { return m_promptText; }
  QGroupBox* PromptBox() const { return m_promptBox; }
  QTableWidget* Steps() const { return m_steps; }
  QTableWidget* Recent() const { return m_recent; }
  CStationPlot* LivePlot() const { return m_plot; }

  // Closing while a unit runs: its stop, its record, then the window goes.
  void reject() override;

 protected:
  void changeEvent(QEvent* event) override;

 private:
  struct RecentUnit {
    testrun::WallClock::time_point started;
    std::string serial;
    testrun::Outcome outcome;
    std::string record;  // empty when it was not kept
    std::string report;
  };

  void Build();
  void ConnectHandlers();
  void SetIdle(bool idle);
  // The texts made from the plan and the results, in the language in use.
  void ShowPlan();
  void ShowSteps();
  void ShowBanner();
  void ShowCounters();
  void ShowRecent();
  void OnStepDone(size_t index, const testrun::StepResult& result);
  void OnPrompt(size_t index, const std::string& text);
  void OnEnded(const CStationRun::Ended& ended);
  void TakeReadings();
  void Answer(bool goOn);
  // The broker and station as entered, in use; why not when they cannot be.
  std::string UseBroker();

  Owner m_owner;
  std::shared_ptr<const testplan::Plan> m_plan;
  std::string m_defaultFolder;  // the folder the plan's name gives
  QLineEdit* m_planLine = nullptr;
  QLineEdit* m_station = nullptr;
  QLineEdit* m_operator = nullptr;
  QLineEdit* m_folder = nullptr;
  QLineEdit* m_serial = nullptr;
  QLineEdit* m_broker = nullptr;
  QLabel* m_brokerState = nullptr;
  QPushButton* m_choose = nullptr;
  QPushButton* m_browse = nullptr;
  QPushButton* m_start = nullptr;
  QPushButton* m_stop = nullptr;
  QTableWidget* m_steps = nullptr;
  CStationPlot* m_plot = nullptr;
  QGroupBox* m_promptBox = nullptr;
  QLabel* m_promptText = nullptr;
  QLabel* m_banner = nullptr;
  QLabel* m_counters = nullptr;
  QTableWidget* m_recent = nullptr;

  // The unit shown: each step's result as it came, the step running.
  std::vector<std::optional<testrun::StepResult>> m_results;
  std::optional<size_t> m_runningStep;
  std::optional<size_t> m_plotStep;
  enum class BannerState { Ready, Testing, Ended };
  BannerState m_bannerState = BannerState::Ready;
  testrun::Outcome m_outcome = testrun::Outcome::Pass;
  bool m_recordKept = true;
  unsigned m_tested = 0;
  unsigned m_passed = 0;
  unsigned m_failed = 0;
  std::vector<RecentUnit> m_recentUnits;  // newest first
  QTimer m_timer;
  std::unique_ptr<CStationPublish> m_publish;  // the plant's broker, when one is named
  CStationRun m_run;  // last: its thread is joined before the rest goes
};
