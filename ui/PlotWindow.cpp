#include "ui/PlotWindow.h"

#include "ui/forms/DialogLayout.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "fields/CommandTexts.h"
#include "fields/NumberText.h"
#include "fields/StatusTexts.h"
#include "ui/LivePlot.h"
#include "session/Session.h"
#include "ui/MessageBox.h"
#include "ui/PlotSeries.h"
#include "ui/StepOverlay.h"
#include "ui/Text.h"
#include "ui/forms/MotorControlForm.h"

namespace {

struct WindowChoice {
  const char* text;
  double seconds;
};
constexpr WindowChoice kWindows[] = {{"10 秒", 10},  {"30 秒", 30},   {"1 分钟", 60},
                                     {"2 分钟", 120}, {"5 分钟", 300}, {"10 分钟", 600}};
constexpr int kDefaultWindow = 2;
// Ticked when the window first opens: what a run from "电机控制" shows.
constexpr const char* kFirstShown[] = {"motorSpeed", "phaseCurrent"};

constexpr const char* kStepKinds[] = {"频率运行", "位置运动"};
constexpr int kProgressMs = 250;
// The frequency command register: ±3276.7 Hz.
constexpr int64_t kFrequencyLimit = 32767;
constexpr int64_t kMaxCaptureTenths = 36000;  // an hour
constexpr int64_t kMaxStepTenths = 600;       // a minute after the command
// A rate this far above the line's limit is no real line's: a simulated
// driver on a pseudo-terminal answers without the bytes' wire time.
constexpr double kBeyondLimit = 1.1;

QLabel* LabelFor(const char* text, QWidget* control) {
  auto* label = new QLabel(QString::fromUtf8(text));
  label->setBuddy(control);
  return label;
}

QLineEdit* NamedEdit(const char* name, const char* text) {
  auto* edit = new QLineEdit(QString::fromUtf8(text));
  edit->setObjectName(QString::fromUtf8(name));
  edit->setMaximumWidth(90);
  return edit;
}

QPushButton* NamedButton(const char* name, const char* text) {
  auto* button = new QPushButton(QString::fromUtf8(text));
  button->setObjectName(QString::fromUtf8(name));
  return button;
}

QComboBox* NamedCombo(const char* name, std::span<const fields::ListItem> items) {
  auto* combo = new QComboBox;
  combo->setObjectName(QString::fromUtf8(name));
  for (const fields::ListItem& item : items) combo->addItem(QString::fromUtf8(item.text), item.value);
  return combo;
}

}  // namespace

CPlotWindow::CPlotWindow(Owner owner)
    : QWidget(owner.window, Qt::Window), owner_(std::move(owner)), session_(*owner_.session) {
  setObjectName(QStringLiteral("plotWindow"));
  setWindowTitle(QString::fromUtf8("实时曲线 - KORVELT_Demo"));
  setAttribute(Qt::WA_DeleteOnClose, false);
  live_ = new CLivePlot(session_.Recording(), [this] { return session_.RecordingNow(); });
  overlay_ = new CStepOverlay;
  tabs_ = new QTabWidget;
  tabs_->addTab(live_, QString::fromUtf8("实时"));
  tabs_->addTab(overlay_, QString::fromUtf8("阶跃对比"));

  auto* panelWidget = new QWidget;
  auto* panel = new QVBoxLayout(panelWidget);
  panel->setContentsMargins(0, 0, 0, 0);
  panel->addWidget(BuildSeries());
  panel->addWidget(BuildView());
  panel->addWidget(BuildCapture());
  panel->addWidget(BuildStepTest());
  status_ = new QLabel;
  status_->setObjectName(QStringLiteral("plotStatus"));
  status_->setWordWrap(true);
  panel->addWidget(status_);
  panel->addStretch(1);

  // As wide as its boxes before any rate or limit is shown: the texts that
  // come later wrap instead of widening the panel and moving the plot.
  panelWidget->setFixedWidth(panelWidget->sizeHint().width());
  auto* layout = new QHBoxLayout(this);
  layout->addWidget(panelWidget);
  layout->addWidget(tabs_, 1);
  resize(1100, 640);

  live_->SetShown(Ticked());
  overlay_->SetShown(Ticked());
  OnWindowChosen(kDefaultWindow);
  connect(&progress_, &QTimer::timeout, this, &CPlotWindow::ShowProgress);
  progress_.start(kProgressMs);
  ShowProgress();
}

CPlotWindow::~CPlotWindow() = default;

QWidget* CPlotWindow::BuildSeries() {
  auto* box = new QGroupBox(QString::fromUtf8("曲线"));
  auto* grid = new QGridLayout(box);
  const auto measured = fields::MeasuredStatusFields();
  for (size_t i = 0; i < measured.size(); ++i) {
    auto* tick = new QCheckBox(plot::SeriesName(measured[i]));
    tick->setObjectName(QString::fromUtf8(fields::StatusFields()[measured[i]].key));
    const std::string_view key = fields::StatusFields()[measured[i]].key;
    tick->setChecked(std::find(std::begin(kFirstShown), std::end(kFirstShown), key) != std::end(kFirstShown));
    QPalette palette = tick->palette();
    palette.setColor(QPalette::WindowText, plot::SeriesColor(measured[i]));
    tick->setPalette(palette);
    connect(tick, &QCheckBox::toggled, this, [this, tick] { OnSeriesToggled(tick); });
    grid->addWidget(tick, static_cast<int>(i / 2), static_cast<int>(i % 2));
    series_.push_back(tick);
  }
  return box;
}

QWidget* CPlotWindow::BuildView() {
  auto* box = new QGroupBox(QString::fromUtf8("显示"));
  auto* form = new QFormLayout(box);
  auto* window = new QComboBox;
  window->setObjectName(QStringLiteral("windowLength"));
  for (const WindowChoice& choice : kWindows) window->addItem(QString::fromUtf8(choice.text));
  window->setCurrentIndex(kDefaultWindow);
  connect(window, qOverload<int>(&QComboBox::currentIndexChanged), this, &CPlotWindow::OnWindowChosen);
  form->addRow(LabelFor("时间窗口:", window), window);

  auto* mouse = new QComboBox;
  mouse->setObjectName(QStringLiteral("mouseMode"));
  mouse->addItems({QString::fromUtf8("框选缩放"), QString::fromUtf8("拖动平移")});
  connect(mouse, qOverload<int>(&QComboBox::currentIndexChanged), this,
          [this](int index) { live_->SetBoxZoom(index == 0); });
  form->addRow(LabelFor("鼠标:", mouse), mouse);

  auto* pause = NamedButton("pause", "暂停");
  pause->setCheckable(true);
  connect(pause, &QPushButton::toggled, this, [this](bool on) { live_->SetPaused(on); });
  auto* live = NamedButton("backToLive", "回到实时");
  connect(live, &QPushButton::clicked, this, [this, pause] {
    pause->setChecked(false);
    live_->BackToLive();
  });
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(pause);
  buttons->addWidget(live);
  form->addRow(buttons);
  auto* exportVisible = NamedButton("exportVisible", "导出可见部分...");
  connect(exportVisible, &QPushButton::clicked, this, &CPlotWindow::OnExportVisible);
  form->addRow(exportVisible);
  // The motor stops from here as from every window of the tool.
  auto* stopMotor = NamedButton("stopMotor", "停止电机");
  stopMotor->setToolTip(QString::fromUtf8(forms::texts::StopTooltip));
  connect(stopMotor, &QPushButton::clicked, this, [this] { owner_.stopMotor(this); });
  form->addRow(stopMotor);
  return box;
}

QWidget* CPlotWindow::BuildCapture() {
  auto* box = new QGroupBox(QString::fromUtf8("高速采集"));
  auto* form = new QFormLayout(box);
  captureSeconds_ = NamedEdit("captureSeconds", "10");
  captureSeconds_->setToolTip(QString::fromUtf8("0 为直到停止"));
  form->addRow(LabelFor("采集时间(s):", captureSeconds_), captureSeconds_);
  auto* start = NamedButton("startCapture", "开始采集");
  auto* stop = NamedButton("stopCapture", "停止采集");
  connect(start, &QPushButton::clicked, this, &CPlotWindow::OnStartCapture);
  connect(stop, &QPushButton::clicked, this, &CPlotWindow::OnStopCapture);
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(start);
  buttons->addWidget(stop);
  form->addRow(buttons);
  rate_ = new QLabel;
  rate_->setObjectName(QStringLiteral("captureRate"));
  rate_->setWordWrap(true);
  limit_ = new QLabel;
  limit_->setObjectName(QStringLiteral("lineLimit"));
  limit_->setWordWrap(true);
  form->addRow(rate_);
  form->addRow(limit_);
  return box;
}

QWidget* CPlotWindow::BuildStepTest() {
  auto* box = new QGroupBox(QString::fromUtf8("阶跃测试"));
  auto* form = new QFormLayout(box);
  stepKind_ = new QComboBox;
  stepKind_->setObjectName(QStringLiteral("stepKind"));
  for (const char* kind : kStepKinds) stepKind_->addItem(QString::fromUtf8(kind));
  form->addRow(LabelFor("命令:", stepKind_), stepKind_);
  stepFrequency_ = NamedEdit("stepFrequency", "100.0");
  form->addRow(LabelFor("换向频率(Hz):", stepFrequency_), stepFrequency_);
  stepPosition_ = NamedEdit("stepPosition", "10000");
  form->addRow(LabelFor("转动位置:", stepPosition_), stepPosition_);
  positionType_ = NamedCombo("positionType", fields::PositionTypes);
  form->addRow(LabelFor("位置类型:", positionType_), positionType_);
  stopMode_ = NamedCombo("stopMode", fields::StopModes);
  form->addRow(LabelFor("停止方式:", stopMode_), stopMode_);
  stepSeconds_ = NamedEdit("stepSeconds", "3");
  form->addRow(LabelFor("测试时间(s):", stepSeconds_), stepSeconds_);
  auto* start = NamedButton("startStep", "开始阶跃测试");
  connect(start, &QPushButton::clicked, this, &CPlotWindow::OnStartStepTest);
  form->addRow(start);
  return box;
}

std::vector<size_t> CPlotWindow::Ticked() const {
  std::vector<size_t> ticked;
  const auto measured = fields::MeasuredStatusFields();
  for (size_t i = 0; i < series_.size(); ++i) {
    if (series_[i]->isChecked()) ticked.push_back(measured[i]);
  }
  return ticked;
}

void CPlotWindow::OnSeriesToggled(QCheckBox* box) {
  const std::vector<size_t> ticked = Ticked();
  if (plot::UnitsOf(ticked).size() > plot::MaxAxes) {
    // Undone before anything is drawn with a third axis.
    const QSignalBlocker quiet(box);
    box->setChecked(false);
    Say(QString::fromUtf8("同时最多显示两种单位的曲线"));
    return;
  }
  Say({});
  live_->SetShown(ticked);
  overlay_->SetShown(ticked);
}

void CPlotWindow::OnWindowChosen(int index) {
  if (index < 0 || index >= static_cast<int>(std::size(kWindows))) return;
  live_->SetWindowSeconds(kWindows[index].seconds);
}

std::optional<int64_t> CPlotWindow::Entry(QLineEdit* edit, const char* name, int decimals, int64_t min,
                                          int64_t max) {
  const std::optional<int64_t> value = fields::ParseScaled(ToStdString(edit->text()), decimals);
  if (value && *value >= min && *value <= max) return value;
  ui::ShowMessage(this, std::string(name) + ": 请输入 " + fields::FormatScaled(min, decimals) + " 到 " +
                            fields::FormatScaled(max, decimals) + " 之间的数值");
  edit->setFocus();
  edit->selectAll();
  return std::nullopt;
}

void CPlotWindow::OnStartCapture() {
  const std::optional<int64_t> tenths = Entry(captureSeconds_, "采集时间", 1, 0, kMaxCaptureTenths);
  if (!tenths) return;
  recording::CaptureRequest request;
  request.duration = std::chrono::milliseconds(*tenths * 100);
  StartCapture(request);
}

void CPlotWindow::OnStartStepTest() {
  recording::StepCommand step;
  const bool position = stepKind_->currentIndex() == 1;
  if (position) {
    step.kind = recording::StepCommand::Kind::Position;
    const std::optional<uint16_t> word =
        forms::motorcontrol::MoveFrequencyWord(ToStdString(stepFrequency_->text()));
    if (!word) {
      Entry(stepFrequency_, "换向频率", 1, 1, 65535);
      return;
    }
    const std::optional<int64_t> target = Entry(stepPosition_, "转动位置", 0, INT32_MIN, INT32_MAX);
    if (!target) return;
    step.moveFrequency = *word;
    step.position = static_cast<int32_t>(*target);
    step.positionType = static_cast<uint16_t>(positionType_->currentData().toUInt());
  } else {
    const std::optional<int64_t> tenths = Entry(stepFrequency_, "换向频率", 1, -kFrequencyLimit, kFrequencyLimit);
    if (!tenths) return;
    step.frequencyTenths = static_cast<int16_t>(*tenths);
  }
  const std::optional<int64_t> seconds = Entry(stepSeconds_, "测试时间", 1, 1, kMaxStepTenths);
  if (!seconds) return;
  step.stopMode = static_cast<uint16_t>(stopMode_->currentData().toUInt());
  recording::CaptureRequest request;
  request.duration = std::chrono::milliseconds(*seconds * 100);
  request.step = step;
  StartCapture(request);
}

void CPlotWindow::StartCapture(recording::CaptureRequest request) {
  request.plan = recording::PlanFor(Ticked());
  const std::string refusal = owner_.startCapture(request);
  if (!refusal.empty()) {
    Say(ToQString(refusal));
    return;
  }
  plan_ = request.plan;
  Say(QString::fromUtf8(request.step ? "阶跃测试进行中" : "高速采集进行中"));
  ShowProgress();
}

void CPlotWindow::OnStopCapture() { session_.StopCapture(); }

void CPlotWindow::OnExportVisible() { owner_.exportRecording(live_->Visible()); }

void CPlotWindow::OnCaptureEnded(const recording::CaptureReport& report) {
  const recording::LoopTotals& totals = report.totals;
  const double rate = totals.readings / std::max(totals.Seconds(), 1e-6);
  rate_->setText(QString::fromUtf8("采样率: %1 次/秒 (%2 个样本, 间断 %3)")
                     .arg(rate, 0, 'f', 1)
                     .arg(totals.readings)
                     .arg(totals.failed) +
                 BeyondLimit(rate, plan_));
  QString text = QString::fromUtf8(report.run ? "阶跃测试结束" : "高速采集结束");
  if (report.commandSent && report.commandResult != ResultSuccess) {
    text += QString::fromUtf8(": 命令 ") + ToQString(ResultText(report.commandResult));
  }
  if (report.commandSent && report.stopResult != ResultSuccess) {
    text += QString::fromUtf8(": 停止命令 ") + ToQString(ResultText(report.stopResult));
  }
  if (report.run && report.run->stride > 1) {
    text += QString::fromUtf8(" (样本多于 %1 个, 每 %2 个保留 1 个)")
                .arg(recording::StepRunSamples)
                .arg(report.run->stride);
  }
  Say(text);
  if (report.run) {
    overlay_->AddRun(report.run);
    tabs_->setCurrentWidget(overlay_);
  }
}

void CPlotWindow::ShowProgress() {
  const int baud = session_.LineBaud();
  const recording::CapturePlan plan = session_.CaptureRunning() ? plan_ : recording::PlanFor(Ticked());
  if (baud > 0) {
    limit_->setText(QString::fromUtf8("线路极限: %1 次/秒 (%2 bit/s, %3 个寄存器)")
                        .arg(recording::LineLimit(baud, plan.count), 0, 'f', 1)
                        .arg(baud)
                        .arg(plan.count));
  } else {
    limit_->setText(QString::fromUtf8("线路极限: - (串口未打开)"));
  }
  if (!session_.CaptureRunning()) return;
  const double seconds =
      std::chrono::duration<double>(recording::SteadyClock::now() - session_.CaptureStarted()).count();
  const double rate = session_.CaptureReadings() / std::max(seconds, 1e-3);
  rate_->setText(QString::fromUtf8("采样率: %1 次/秒").arg(rate, 0, 'f', 1) + BeyondLimit(rate, plan));
}

QString CPlotWindow::BeyondLimit(double rate, const recording::CapturePlan& plan) const {
  const int baud = session_.LineBaud();
  if (baud <= 0 || rate <= recording::LineLimit(baud, plan.count) * kBeyondLimit) return {};
  return QString::fromUtf8(", 高于线路极限: 此串口不按波特率计时 (如模拟驱动器)");
}

void CPlotWindow::keyPressEvent(QKeyEvent* event) {
  // Esc closes this window as it closes the tool's other windows.
  if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
    close();
    return;
  }
  QWidget::keyPressEvent(event);
}

void CPlotWindow::Say(const QString& text) { status_->setText(text); }

QCheckBox* CPlotWindow::SeriesBox(size_t field) const {
  const auto measured = fields::MeasuredStatusFields();
  const auto at = std::find(measured.begin(), measured.end(), field);
  return at == measured.end() ? nullptr : series_[static_cast<size_t>(at - measured.begin())];
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

QString CPlotWindow::StatusText() const { return status_->text(); }
QString CPlotWindow::RateText() const { return rate_->text(); }
QString CPlotWindow::LimitText() const { return limit_->text(); }
