#include "ui/PlotWindow.h"

#include <QCheckBox>
#include <QEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <algorithm>

#include "fields/CommandTexts.h"
#include "fields/FieldCodec.h"
#include "fields/NumberText.h"
#include "fields/StatusTexts.h"
#include "ui/LivePlot.h"
#include "session/Session.h"
#include "ui/MessageBox.h"
#include "ui/PageBuilder.h"
#include "ui/PageSources.h"
#include "ui/PlotSeries.h"
#include "ui/Retranslate.h"
#include "ui/StepOverlay.h"
#include "ui/Text.h"
#include "ui/forms/DialogLayout.h"
#include "ui/forms/MotorControlForm.h"

namespace {

using forms::Field;
using forms::ListItem;

// Seconds of the sliding window.
constexpr ListItem kWindows[] = {{"10 秒", 10},  {"30 秒", 30},   {"1 分钟", 60},
                                 {"2 分钟", 120}, {"5 分钟", 300}, {"10 分钟", 600}};
constexpr int kDefaultWindow = 2;
constexpr ListItem kMouseModes[] = {{"框选缩放", 0}, {"拖动平移", 1}};
constexpr ListItem kStepKinds[] = {{"频率运行", 0}, {"位置运动", 1}};
// Ticked when the window first opens: what a run from "电机控制" shows.
constexpr const char* kFirstShown[] = {"motorSpeed", "phaseCurrent"};

constexpr int kProgressMs = 250;
// The frequency command register: ±3276.7 Hz.
constexpr int64_t kFrequencyLimit = 32767;
constexpr int64_t kMaxCaptureTenths = 36000;  // an hour
constexpr int64_t kMaxStepTenths = 600;       // a minute after the command
// A rate this far above the line's limit is no real line's: a simulated
// driver on a pseudo-terminal answers without the bytes' wire time.
constexpr double kBeyondLimit = 1.1;
constexpr const char* kBeyondLimitText = ", 高于线路极限: 此串口不按波特率计时 (如模拟驱动器)";
// The panel's edits stay narrow, so that the plot keeps its room.
constexpr int kEditWidth = 90;

// The window's control ids; the series' check boxes follow FirstSeries, in
// the order of the measured fields.
namespace id {
enum : int {
  WindowLength = 1, MouseMode, Pause, BackToLive, ExportVisible, StopMotor,
  CaptureSeconds, StartCapture, StopCapture, Rate, Limit,
  StepKind, StepFrequency, StepPosition, PositionType, StopMode, StepSeconds, StartStep, Status,
  FirstSeries = 100,
};
}  // namespace id

enum Group { SeriesGroup, ViewGroup, CaptureGroup, StepGroup, StatusArea };
constexpr forms::GroupSpec kGroups[] = {
    {"曲线", 0, 0}, {"显示", 1, 0}, {"高速采集", 2, 0}, {"阶跃测试", 3, 0}, {nullptr, 4, 0},
};

constexpr Field kControls[] = {
    Field::List(id::WindowLength, "时间窗口:", kWindows).Object("windowLength").At(ViewGroup, 0),
    Field::List(id::MouseMode, "鼠标:", kMouseModes).Object("mouseMode").At(ViewGroup, 1),
    Field::Button(id::Pause, "暂停").Object("pause").At(ViewGroup, 2, 0),
    Field::Button(id::BackToLive, "回到实时").Object("backToLive").At(ViewGroup, 2, 1),
    Field::Button(id::ExportVisible, "导出可见部分...").Object("exportVisible").At(ViewGroup, 3).Span(2),
    // The motor stops from here as from every window of the tool.
    Field::Button(id::StopMotor, "停止电机").Object("stopMotor").At(ViewGroup, 4).Span(2),

    Field::Edit(id::CaptureSeconds, "采集时间(s):").Named("采集时间").Decimals(1).Object("captureSeconds").At(CaptureGroup, 0),
    Field::Button(id::StartCapture, "开始采集").Object("startCapture").At(CaptureGroup, 1, 0),
    Field::Button(id::StopCapture, "停止采集").Object("stopCapture").At(CaptureGroup, 1, 1),
    Field::Static(id::Rate, "").Object("captureRate").At(CaptureGroup, 2).Span(2),
    Field::Static(id::Limit, "").Object("lineLimit").At(CaptureGroup, 3).Span(2),

    Field::List(id::StepKind, "命令:", kStepKinds).Object("stepKind").At(StepGroup, 0),
    Field::Edit(id::StepFrequency, "换向频率(Hz):").Named("换向频率").Decimals(1).Object("stepFrequency").At(StepGroup, 1),
    Field::Edit(id::StepPosition, "转动位置:").Object("stepPosition").At(StepGroup, 2),
    Field::List(id::PositionType, "位置类型:", fields::PositionTypes).Object("positionType").At(StepGroup, 3),
    Field::List(id::StopMode, "停止方式:", fields::StopModes).Object("stopMode").At(StepGroup, 4),
    Field::Edit(id::StepSeconds, "测试时间(s):").Named("测试时间").Decimals(1).Object("stepSeconds").At(StepGroup, 5),
    Field::Button(id::StartStep, "开始阶跃测试").Object("startStep").At(StepGroup, 6).Span(2),

    Field::Static(id::Status, "").Object("plotStatus").At(StatusArea, 0).Span(2),
};

// `pattern` in the language in use with its values put in.
QString Filled(const char* pattern, std::initializer_list<std::string_view> values) {
  return ToQString(lang::Fill(lang::Tr(pattern), values));
}

std::string Number(double value) { return QString::number(value, 'f', 1).toStdString(); }

consteval size_t EntryOf(int controlId) {
  for (size_t i = 0; i < std::size(kControls); ++i) {
    if (kControls[i].id == controlId) return i;
  }
  throw "no control with this id";
}

// What the entries and lists show when the window opens.
forms::FormValues InitialValues() {
  forms::FormValues values(std::size(kControls));
  values[EntryOf(id::WindowLength)].index = kDefaultWindow;
  values[EntryOf(id::MouseMode)].index = 0;
  values[EntryOf(id::CaptureSeconds)].text = "10";
  values[EntryOf(id::StepKind)].index = 0;
  values[EntryOf(id::StepFrequency)].text = "100.0";
  values[EntryOf(id::StepPosition)].text = "10000";
  values[EntryOf(id::PositionType)].index = 0;
  values[EntryOf(id::StopMode)].index = 0;
  values[EntryOf(id::StepSeconds)].text = "3";
  return values;
}

// A check box per measured value, two a row; `names` holds their texts.
std::vector<Field> SeriesControls(std::vector<std::string>& names) {
  const auto measured = fields::MeasuredStatusFields();
  names.clear();
  for (const size_t field : measured) names.push_back(ToStdString(plot::SeriesName(field)));
  std::vector<Field> boxes;
  for (size_t i = 0; i < measured.size(); ++i) {
    const int row = static_cast<int>(i / 2);
    const int column = static_cast<int>(i % 2);
    boxes.push_back(Field::Check(id::FirstSeries + static_cast<int>(i), names[i].c_str())
                        .Object(fields::StatusFields()[measured[i]].key)
                        .At(SeriesGroup, row, column));
  }
  return boxes;
}

}  // namespace

CPlotWindow::CPlotWindow(Owner owner)
    : QWidget(owner.window, Qt::Window), m_owner(std::move(owner)), m_session(*m_owner.session), m_form(kControls) {
  setObjectName(QStringLiteral("plotWindow"));
  ui::SetSourceWindowTitle(this, "实时曲线 - KORVELT_Demo");
  setAttribute(Qt::WA_DeleteOnClose, false);
  m_live = new CLivePlot(m_session.Recording(), [this] { return m_session.RecordingNow(); });
  m_overlay = new CStepOverlay;
  m_tabs = new QTabWidget;
  m_tabs->addTab(m_live, QString());
  m_tabs->addTab(m_overlay, QString());
  ui::SetSourceTabText(m_tabs, 0, "实时");
  ui::SetSourceTabText(m_tabs, 1, "阶跃对比");

  m_panel = BuildPanel();
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(m_panel);
  layout->addWidget(m_tabs, 1);
  resize(1100, 640);

  m_live->SetShown(Ticked());
  m_overlay->SetShown(Ticked());
  OnWindowChosen(kDefaultWindow);
  connect(&m_progress, &QTimer::timeout, this, &CPlotWindow::ShowProgress);
  m_progress.start(kProgressMs);
  ShowProgress();
}

CPlotWindow::~CPlotWindow() = default;

QWidget* CPlotWindow::BuildPanel() {
  auto* panel = new QWidget;
  std::vector<std::string> names;
  const std::vector<Field> series = SeriesControls(names);
  BuildPage(panel, kGroups, {series, kControls}, m_controls);
  // The series' names are made of their field's name and unit, set again
  // by NameSeries.
  RememberPageSources(panel, kGroups, {kControls}, m_controls);
  panel->layout()->setContentsMargins(0, 0, 0, 0);
  m_form.Bind(m_controls);
  m_form.SetValues(InitialValues());
  m_form.Show();

  const auto measured = fields::MeasuredStatusFields();
  for (size_t i = 0; i < series.size(); ++i) {
    auto* tick = Get<QCheckBox>(series[i].id);
    const std::string_view key = fields::StatusFields()[measured[i]].key;
    tick->setChecked(std::find(std::begin(kFirstShown), std::end(kFirstShown), key) != std::end(kFirstShown));
    QPalette palette = tick->palette();
    palette.setColor(QPalette::WindowText, plot::SeriesColor(measured[i]));
    tick->setPalette(palette);
    connect(tick, &QCheckBox::toggled, this, [this, tick] { OnSeriesToggled(tick); });
    m_series.push_back(tick);
  }
  for (const int edit : {id::CaptureSeconds, id::StepFrequency, id::StepPosition, id::StepSeconds}) {
    Get<QLineEdit>(edit)->setMaximumWidth(kEditWidth);
  }
  ui::SetSourceToolTip(Get<QLineEdit>(id::CaptureSeconds), "0 为直到停止");
  ui::SetSourceToolTip(Get<QPushButton>(id::StopMotor), forms::texts::StopTooltip);
  m_rate = Get<QLabel>(id::Rate);
  m_limit = Get<QLabel>(id::Limit);
  m_status = Get<QLabel>(id::Status);
  for (QLabel* text : {m_rate, m_limit, m_status}) text->setWordWrap(true);

  connect(Get<QComboBox>(id::WindowLength), qOverload<int>(&QComboBox::currentIndexChanged), this,
          &CPlotWindow::OnWindowChosen);
  connect(Get<QComboBox>(id::MouseMode), qOverload<int>(&QComboBox::currentIndexChanged), this,
          [this](int index) { m_live->SetBoxZoom(index == 0); });
  auto* pause = Get<QPushButton>(id::Pause);
  pause->setCheckable(true);
  connect(pause, &QPushButton::toggled, this, [this](bool on) { m_live->SetPaused(on); });
  connect(Get<QPushButton>(id::BackToLive), &QPushButton::clicked, this, [this, pause] {
    pause->setChecked(false);
    m_live->BackToLive();
  });
  connect(Get<QPushButton>(id::ExportVisible), &QPushButton::clicked, this, &CPlotWindow::OnExportVisible);
  connect(Get<QPushButton>(id::StopMotor), &QPushButton::clicked, this, [this] { m_owner.stopMotor(this); });
  connect(Get<QPushButton>(id::StartCapture), &QPushButton::clicked, this, &CPlotWindow::OnStartCapture);
  connect(Get<QPushButton>(id::StopCapture), &QPushButton::clicked, this, &CPlotWindow::OnStopCapture);
  connect(Get<QPushButton>(id::StartStep), &QPushButton::clicked, this, &CPlotWindow::OnStartStepTest);

  FitPanel(panel);
  return panel;
}

void CPlotWindow::FitPanel(QWidget* panel) {
  // As wide as its boxes without the rate, the limit and the status: those
  // wrap instead of widening the panel and moving the plot.
  const QString texts[] = {m_rate->text(), m_limit->text(), m_status->text()};
  for (QLabel* text : {m_rate, m_limit, m_status}) text->clear();
  for (QLayout* layout : panel->findChildren<QLayout*>()) layout->invalidate();
  panel->setMinimumWidth(0);
  panel->setMaximumWidth(QWIDGETSIZE_MAX);
  panel->setFixedWidth(panel->sizeHint().width());
  m_rate->setText(texts[0]);
  m_limit->setText(texts[1]);
  m_status->setText(texts[2]);
}

void CPlotWindow::NameSeries() {
  const auto measured = fields::MeasuredStatusFields();
  for (size_t i = 0; i < m_series.size() && i < measured.size(); ++i) m_series[i]->setText(plot::SeriesName(measured[i]));
}

void CPlotWindow::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange && m_panel != nullptr) {
    NameSeries();
    Say(m_statusText);
    SetText(m_rate, m_rateText ? m_rateText() : QString());
    ShowProgress();
    FitPanel(m_panel);
  }
  QWidget::changeEvent(event);
}

std::vector<size_t> CPlotWindow::Ticked() const {
  std::vector<size_t> ticked;
  const auto measured = fields::MeasuredStatusFields();
  for (size_t i = 0; i < m_series.size(); ++i) {
    if (m_series[i]->isChecked()) ticked.push_back(measured[i]);
  }
  return ticked;
}

void CPlotWindow::OnSeriesToggled(QCheckBox* box) {
  const std::vector<size_t> ticked = Ticked();
  if (plot::UnitsOf(ticked).size() > plot::MaxAxes) {
    // Undone before anything is drawn with a third axis.
    const QSignalBlocker quiet(box);
    box->setChecked(false);
    Say([] { return Tr("同时最多显示两种单位的曲线"); });
    return;
  }
  Say(nullptr);
  m_live->SetShown(ticked);
  m_overlay->SetShown(ticked);
}

void CPlotWindow::OnWindowChosen(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kWindows))) return;
  m_live->SetWindowSeconds(kWindows[index].value);
}

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

void CPlotWindow::OnExportVisible() { m_owner.exportRecording(m_live->Visible()); }

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

void CPlotWindow::keyPressEvent(QKeyEvent* event) {
  // Esc closes this window as it closes the tool's other windows.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void CPlotWindow::Say(std::function<QString()> text) {
  m_statusText = std::move(text);
  SetText(m_status, m_statusText ? m_statusText() : QString());
}

void CPlotWindow::SetText(QLabel* label, const QString& text) {
  // The progress rewrites its texts four times a second; a wrapped label
  // given a new text lays the panel out and paints it again.
  if (label->text() != text) label->setText(text);
}

QCheckBox* CPlotWindow::SeriesBox(size_t field) const {
  const auto measured = fields::MeasuredStatusFields();
  const auto at = std::find(measured.begin(), measured.end(), field);
  return at == measured.end() ? nullptr : m_series[static_cast<size_t>(at - measured.begin())];
}

QPushButton* CPlotWindow::Button(const char* objectName) const {
  return findChild<QPushButton*>(QString::fromUtf8(objectName));
}

QLineEdit* CPlotWindow::Edit(const char* objectName) const {
  return findChild<QLineEdit*>(QString::fromUtf8(objectName));
}

QComboBox* CPlotWindow::Combo(const char* objectName) const {
  return findChild<QComboBox*>(QString::fromUtf8(objectName));
}

QString CPlotWindow::StatusText() const { return m_status->text(); }
QString CPlotWindow::RateText() const { return m_rate->text(); }
QString CPlotWindow::LimitText() const { return m_limit->text(); }
