// What the station shows of its plan and its units: the plan's line, the
// steps with their state, the banner, the counters and the last results,
// and how the run's reports change them.
#include <QDateTime>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>

#include <span>

#include "fields/CFormat.h"
#include "fields/PrintableText.h"
#include "fields/StatusTexts.h"
#include "testplan/PlanText.h"
#include "ui/MessageBox.h"
#include "ui/StationDlg.h"
#include "ui/StationPlot.h"
#include "ui/Text.h"

namespace {

namespace tr = testrun;
using lang::Fill;

// The plan's hash as the plan line shows it.
constexpr size_t kHashShown = 8;
constexpr const char* kStepColumns[] = {"步骤", "结果", "说明"};
constexpr const char* kRecentColumns[] = {"时间", "序列号", "结果"};

struct Colours {
  QColor back;
  QColor text;
};

// Green for a unit that passed, red for a failed one, amber where the
// station could not judge it.
Colours ColoursOf(tr::Outcome outcome) {
  switch (outcome) {
    case tr::Outcome::Pass:
    case tr::Outcome::Marginal: return {QColor(0x2E, 0x7D, 0x32), Qt::white};
    case tr::Outcome::Fail: return {QColor(0xC6, 0x28, 0x28), Qt::white};
    case tr::Outcome::Error:
    case tr::Outcome::Aborted: break;
  }
  return {QColor(0xFF, 0xB3, 0x00), Qt::black};
}

QString MeasuredText(const tr::MeasurementResult& measured) {
  const std::string value =
      measured.value ? fields::CFormat("%.*f", fields::StatusDecimals(measured.measurement.field) + 2, *measured.value)
                     : std::string("-");
  return ToQString(testplan::MeasurementText(measured.measurement) + ": " + value + " " +
                   (measured.outcome ? tr::OutcomeName(*measured.outcome) : "-"));
}

void SetCell(QTableWidget* table, int row, int column, const QString& text) {
  QTableWidgetItem* item = table->item(row, column);
  if (item == nullptr) {
    table->setItem(row, column, new QTableWidgetItem(text));
  } else if (item->text() != text) {
    item->setText(text);
  }
}

void SetHeaders(QTableWidget* table, std::span<const char* const> columns) {
  QStringList headers;
  for (const char* column : columns) headers << Tr(column);
  table->setHorizontalHeaderLabels(headers);
}

}  // namespace

void CStationDlg::ShowPlan() {
  if (!m_plan) {
    m_planLine->setText(Tr("未选择"));
    return;
  }
  m_planLine->setText(ToQString(Fill(lang::Tr("{1}  修订 {2}  {3}"),
                                     {fields::Printable(m_plan->name), fields::Printable(m_plan->revision),
                                      m_plan->sha256.substr(0, kHashShown)})));
}

void CStationDlg::ShowSteps() {
  SetHeaders(m_steps, kStepColumns);
  const size_t count = m_plan ? m_plan->steps.size() : 0;
  m_steps->setRowCount(static_cast<int>(count));
  for (size_t i = 0; i < count; ++i) {
    const int row = static_cast<int>(i);
    const testplan::Step& step = m_plan->steps[i];
    SetCell(m_steps, row, 0, ToQString(std::to_string(i + 1) + ". " + fields::Printable(step.name)));
    m_steps->item(row, 0)->setToolTip(ToQString(fields::Printable(testplan::StepLine(step))));
    QString state;
    QStringList said;
    QBrush back;
    if (i < m_results.size() && m_results[i] && m_results[i]->outcome) {
      const tr::StepResult& result = *m_results[i];
      state = QString::fromUtf8(tr::OutcomeName(*result.outcome));
      back = ColoursOf(*result.outcome).back.lighter(160);
      if (!result.detail.empty()) said << ToQString(fields::Printable(result.detail));
      for (const tr::MeasurementResult& measured : result.measurements) said << MeasuredText(measured);
    } else if (m_runningStep == i) {
      state = Tr("进行中");
    }
    SetCell(m_steps, row, 1, state);
    SetCell(m_steps, row, 2, said.join(QStringLiteral("; ")));
    m_steps->item(row, 1)->setBackground(back);
    m_steps->item(row, 2)->setToolTip(said.join(QStringLiteral("\n")));
  }
  m_steps->resizeColumnToContents(0);
  if (m_runningStep && *m_runningStep < count) m_steps->scrollToItem(m_steps->item(static_cast<int>(*m_runningStep), 0));
}

void CStationDlg::ShowBanner() {
  QPalette palette = m_banner->palette();
  switch (m_bannerState) {
    case BannerState::Ready:
      m_banner->setText(Tr("就绪"));
      palette.setColor(QPalette::Window, palette.color(QPalette::Base));
      palette.setColor(QPalette::WindowText, palette.color(QPalette::Text));
      break;
    case BannerState::Testing:
      m_banner->setText(Tr("测试中"));
      palette.setColor(QPalette::Window, QColor(0xE0, 0xE0, 0xE0));
      palette.setColor(QPalette::WindowText, Qt::black);
      break;
    case BannerState::Ended: {
      // A unit whose record was not kept is the station's error, whatever
      // it measured: there is nothing to show for it.
      const tr::Outcome shown = m_recordKept ? m_outcome : tr::Outcome::Error;
      m_banner->setText(QString::fromUtf8(tr::OutcomeName(shown)));
      palette.setColor(QPalette::Window, ColoursOf(shown).back);
      palette.setColor(QPalette::WindowText, ColoursOf(shown).text);
      break;
    }
  }
  m_banner->setPalette(palette);
}

void CStationDlg::ShowCounters() {
  m_counters->setText(ToQString(Fill(lang::Tr("已测 {1}   合格 {2}   不合格 {3}"),
                                     {std::to_string(m_tested), std::to_string(m_passed), std::to_string(m_failed)})));
}

void CStationDlg::ShowRecent() {
  SetHeaders(m_recent, kRecentColumns);
  m_recent->setRowCount(static_cast<int>(m_recentUnits.size()));
  for (size_t i = 0; i < m_recentUnits.size(); ++i) {
    const RecentUnit& unit = m_recentUnits[i];
    const int row = static_cast<int>(i);
    const auto millis = std::chrono::duration_cast<std::chrono::milliseconds>(unit.started.time_since_epoch()).count();
    SetCell(m_recent, row, 0, QDateTime::fromMSecsSinceEpoch(millis).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
    SetCell(m_recent, row, 1, ToQString(unit.serial));
    SetCell(m_recent, row, 2, QString::fromUtf8(tr::OutcomeName(unit.outcome)));
    m_recent->item(row, 2)->setBackground(ColoursOf(unit.outcome).back.lighter(160));
  }
  m_recent->resizeColumnToContents(0);
  m_recent->resizeColumnToContents(1);
}

void CStationDlg::OnStepDone(size_t index, const tr::StepResult& result) {
  if (index >= m_results.size()) return;
  m_results[index] = result;
  // A step that passed hands on to the next; any other ends the unit.
  m_runningStep.reset();
  if (result.outcome && tr::Passed(*result.outcome) && index + 1 < m_results.size()) m_runningStep = index + 1;
  ShowSteps();
}

void CStationDlg::OnEnded(const CStationRun::Ended& ended) {
  TakeReadings();
  m_timer.stop();
  m_promptBox->hide();
  for (size_t i = 0; i < ended.unit.steps.size() && i < m_results.size(); ++i) {
    if (ended.unit.steps[i].outcome) m_results[i] = ended.unit.steps[i];
  }
  m_runningStep.reset();
  m_outcome = ended.unit.outcome;
  m_recordKept = ended.written.error.empty();
  m_bannerState = BannerState::Ended;
  ++m_tested;
  if (m_recordKept && tr::Passed(m_outcome)) ++m_passed;
  if (m_outcome == tr::Outcome::Fail) ++m_failed;
  RecentUnit recent{ended.unit.started, ended.info.serial, m_outcome, {}, {}};
  if (m_recordKept) {
    recent.record = tr::RecordPath(ended.folder, ended.info);
    recent.report = tr::ReportPath(ended.folder, ended.info);
  }
  m_publish->Ended(recent.record);
  m_recentUnits.insert(m_recentUnits.begin(), recent);
  if (m_recentUnits.size() > static_cast<size_t>(MaxRecent)) m_recentUnits.resize(MaxRecent);
  SetIdle(true);
  ShowSteps();
  ShowBanner();
  ShowCounters();
  ShowRecent();
  // Ready for the next unit's scan.
  m_serial->clear();
  m_serial->setFocus();
  if (!m_recordKept) ui::ShowMessage(this, Fill(lang::Tr("测试记录未保存: {1}"), {ended.written.error}));
}

void CStationDlg::TakeReadings() {
  const std::vector<CStationRun::Reading> readings = m_run.TakeReadings();
  std::vector<recording::Sample> batch;
  for (size_t i = 0; i < readings.size(); ++i) {
    const CStationRun::Reading& reading = readings[i];
    if (m_plotStep != reading.index) {
      m_plot->Add(batch);
      batch.clear();
      // A new run step: its measured fields, from its command on.
      std::vector<size_t> fields;
      const testplan::Run* run =
          m_plan && reading.index < m_plan->steps.size() ? std::get_if<testplan::Run>(&m_plan->steps[reading.index].what)
                                                         : nullptr;
      for (size_t m = 0; run != nullptr && m < run->measurements.size(); ++m) fields.push_back(run->measurements[m].field);
      m_plot->Begin(fields);
      m_plotStep = reading.index;
    }
    batch.push_back(reading.sample);
  }
  m_plot->Add(batch);
}
