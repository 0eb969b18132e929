// The plot window's high-speed capture and step test: the entries checked
// by their rules, the run started on the session, its progress against the
// line's limit and its end reported.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <algorithm>

#include "fields/FieldCodec.h"
#include "fields/NumberText.h"
#include "session/Session.h"
#include "ui/MessageBox.h"
#include "ui/PlotWindow.h"
#include "ui/PlotWindowControls.h"
#include "ui/StepOverlay.h"
#include "ui/Text.h"
#include "ui/forms/MotorControlForm.h"

namespace {

using namespace plotwindow;

// The frequency command register: ±3276.7 Hz.
constexpr int64_t kFrequencyLimit = 32767;
constexpr int64_t kMaxCaptureTenths = 36000;  // an hour
constexpr int64_t kMaxStepTenths = 600;       // a minute after the command
// A rate this far above the line's limit is no real line's: a simulated
// driver on a pseudo-terminal answers without the bytes' wire time.
constexpr double kBeyondLimit = 1.1;
constexpr const char* kBeyondLimitText = ", 高于线路极限: 此串口不按波特率计时 (如模拟驱动器)";

// `pattern` in the language in use with its values put in.
QString Filled(const char* pattern, std::initializer_list<std::string_view> values) {
  return ToQString(lang::Fill(lang::Tr(pattern), values));
}

std::string Number(double value) { return QString::number(value, 'f', 1).toStdString(); }

}  // namespace

std::optional<int64_t> CPlotWindow::Entry(size_t entry, int64_t min, int64_t max) {
  const Field& field = kControls[entry];
  const std::optional<int64_t> value =
      fields::ParseScaled(ToStdString(Get<QLineEdit>(field.id)->text()), field.decimals);
  if (value && *value >= min && *value <= max) return value;
  Refuse(entry, fields::RangeMessage(field, min, max));
  return std::nullopt;
}

void CPlotWindow::Refuse(size_t entry, const std::string& message) {
  ui::ShowMessage(this, message);
  QLineEdit* edit = Get<QLineEdit>(kControls[entry].id);
  edit->setFocus();
  edit->selectAll();
}

uint16_t CPlotWindow::ChosenValue(size_t entry) const {
  const Field& field = kControls[entry];
  const int index = Get<QComboBox>(field.id)->currentIndex();
  return index >= 0 && static_cast<size_t>(index) < field.items.size()
             ? static_cast<uint16_t>(field.items[static_cast<size_t>(index)].value)
             : 0;
}

void CPlotWindow::OnStartCapture() {
  const std::optional<int64_t> tenths = Entry(EntryOf(id::CaptureSeconds), 0, kMaxCaptureTenths);
  if (!tenths) return;
  recording::CaptureRequest request;
  request.duration = std::chrono::milliseconds(*tenths * 100);
  StartCapture(request);
}

void CPlotWindow::OnStartStepTest() {
  constexpr size_t kFrequency = EntryOf(id::StepFrequency);
  recording::StepCommand step;
  const bool position = Get<QComboBox>(id::StepKind)->currentIndex() == 1;
  if (position) {
    step.kind = recording::StepCommand::Kind::Position;
    // The move frequency follows the entry rules of "电机控制".
    const std::optional<uint16_t> word =
        forms::motorcontrol::MoveFrequencyWord(ToStdString(Get<QLineEdit>(id::StepFrequency)->text()));
    if (!word) {
      Refuse(kFrequency, forms::motorcontrol::MoveFrequencyMessage());
      return;
    }
    const std::optional<int64_t> target = Entry(EntryOf(id::StepPosition), INT32_MIN, INT32_MAX);
    if (!target) return;
    step.moveFrequency = *word;
    step.position = static_cast<int32_t>(*target);
    step.positionType = ChosenValue(EntryOf(id::PositionType));
  } else {
    const std::optional<int64_t> tenths = Entry(kFrequency, -kFrequencyLimit, kFrequencyLimit);
    if (!tenths) return;
    step.frequencyTenths = static_cast<int16_t>(*tenths);
  }
  const std::optional<int64_t> seconds = Entry(EntryOf(id::StepSeconds), 1, kMaxStepTenths);
  if (!seconds) return;
  step.stopMode = ChosenValue(EntryOf(id::StopMode));
  recording::CaptureRequest request;
  request.duration = std::chrono::milliseconds(*seconds * 100);
  request.step = step;
  StartCapture(request);
}

void CPlotWindow::StartCapture(recording::CaptureRequest request) {
  request.plan = recording::PlanFor(Ticked());
  const std::string refusal = m_owner.startCapture(request);
  if (!refusal.empty()) {
    Say([text = ToQString(refusal)] { return text; });
    return;
  }
  m_plan = request.plan;
  m_rateText = nullptr;
  const char* running = request.step ? "阶跃测试进行中" : "高速采集进行中";
  Say([running] { return Tr(running); });
  ShowProgress();
}

void CPlotWindow::OnStopCapture() { m_session.StopCapture(); }

void CPlotWindow::OnCaptureEnded(const recording::CaptureReport& report) {
  const recording::LoopTotals& totals = report.totals;
  const double rate = totals.readings / std::max(totals.Seconds(), 1e-6);
  const bool beyond = !BeyondLimit(rate, m_plan).isEmpty();
  m_rateText = [rate, readings = totals.readings, failed = totals.failed, beyond] {
    return Filled("采样率: {1} 次/秒 ({2} 个样本, 间断 {3})",
                  {Number(rate), std::to_string(readings), std::to_string(failed)}) +
           (beyond ? Tr(kBeyondLimitText) : QString());
  };
  m_rate->setText(m_rateText());
  Say([report] {
    std::string text = lang::Tr(report.run ? "阶跃测试结束" : "高速采集结束");
    if (report.commandSent && report.commandResult != ResultSuccess) {
      text = lang::Fill(lang::Tr("{1}: 命令 {2}"), {text, lang::Tr(ResultText(report.commandResult))});
    }
    if (report.commandSent && report.stopResult != ResultSuccess) {
      text = lang::Fill(lang::Tr("{1}: 停止命令 {2}"), {text, lang::Tr(ResultText(report.stopResult))});
    }
    if (report.run && report.run->stride > 1) {
      text = lang::Fill(lang::Tr("{1} (样本多于 {2} 个, 每 {3} 个保留 1 个)"),
                        {text, std::to_string(recording::StepRunSamples), std::to_string(report.run->stride)});
    }
    return ToQString(text);
  });
  if (report.run) {
    m_overlay->AddRun(report.run);
    m_tabs->setCurrentWidget(m_overlay);
  }
}

void CPlotWindow::ShowProgress() {
  const int baud = m_session.LineBaud();
  const recording::CapturePlan plan = m_session.CaptureRunning() ? m_plan : recording::PlanFor(Ticked());
  if (baud > 0) {
    SetText(m_limit, Filled("线路极限: {1} 次/秒 ({2} bit/s, {3} 个寄存器)",
                            {Number(recording::LineLimit(baud, plan.count)), std::to_string(baud),
                             std::to_string(plan.count)}));
  } else {
    SetText(m_limit, Tr("线路极限: - (串口未打开)"));
  }
  if (!m_session.CaptureRunning()) return;
  const double seconds =
      std::chrono::duration<double>(recording::SteadyClock::now() - m_session.CaptureStarted()).count();
  const double rate = m_session.CaptureReadings() / std::max(seconds, 1e-3);
  SetText(m_rate, Filled("采样率: {1} 次/秒", {Number(rate)}) + BeyondLimit(rate, plan));
}

QString CPlotWindow::BeyondLimit(double rate, const recording::CapturePlan& plan) const {
  const int baud = m_session.LineBaud();
  if (baud <= 0 || rate <= recording::LineLimit(baud, plan.count) * kBeyondLimit) return {};
  return Tr(kBeyondLimitText);
}
