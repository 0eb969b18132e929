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
#include "ui/PlotWindowControls.h"
#include "ui/Retranslate.h"
#include "ui/StepOverlay.h"
#include "ui/Text.h"
#include "ui/forms/DialogLayout.h"
#include "ui/forms/MotorControlForm.h"

namespace {

using namespace plotwindow;

// Ticked when the window first opens: what a run from "电机控制" shows.
constexpr const char* kFirstShown[] = {"motorSpeed", "phaseCurrent"};
constexpr int kProgressMs = 250;
// The panel's edits stay narrow, so that the plot keeps its room.
constexpr int kEditWidth = 90;

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

void CPlotWindow::OnExportVisible() { m_owner.exportRecording(m_live->Visible()); }

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
