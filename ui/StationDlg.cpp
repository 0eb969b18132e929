#include "ui/StationDlg.h"

#include <QDesktopServices>
#include <QEvent>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSysInfo>
#include <QTableWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <filesystem>

#include "fields/PrintableText.h"
#include "testplan/PlanFile.h"
#include "ui/DialogFont.h"
#include "ui/FileDialogs.h"
#include "ui/MessageBox.h"
#include "ui/Retranslate.h"
#include "ui/StationHistory.h"
#include "ui/StationPlot.h"
#include "ui/Text.h"

namespace {

namespace tr = testrun;
using lang::Fill;

// The readings are taken and drawn ten times a second.
constexpr int kTakeMs = 100;

QLabel* BuddyLabel(const char* chinese, QWidget* control) {
  auto* label = new QLabel;
  ui::SetSourceText(label, chinese);
  label->setBuddy(control);
  return label;
}

QPushButton* Button(const char* chinese) {
  auto* button = new QPushButton;
  ui::SetSourceText(button, chinese);
  // Enter belongs to the serial entry: a scanner's Enter starts the unit,
  // and no button is pressed by it besides.
  button->setAutoDefault(false);
  button->setDefault(false);
  return button;
}

QTableWidget* Table(int columns) {
  auto* table = new QTableWidget(0, columns);
  table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table->setSelectionBehavior(QAbstractItemView::SelectRows);
  table->setSelectionMode(QAbstractItemView::SingleSelection);
  table->verticalHeader()->hide();
  table->horizontalHeader()->setStretchLastSection(true);
  return table;
}

}  // namespace

CStationDlg::CStationDlg(Owner owner)
    : QDialog(owner.window),
      m_owner(std::move(owner)),
      m_run(CStationRun::Listener{
          [this](size_t index, const tr::StepResult& result) { OnStepDone(index, result); },
          [this](size_t index, const std::string& text) { OnPrompt(index, text); },
          [this](const CStationRun::Ended& ended) { OnEnded(ended); }}) {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowMaximizeButtonHint);
  ui::SetSourceWindowTitle(this, "生产测试");
  setFont(DialogFont());
  Build();
  m_publish = std::make_unique<CStationPublish>(m_brokerState);
  ConnectHandlers();
  ShowPlan();
  ShowSteps();
  ShowBanner();
  ShowCounters();
  ShowRecent();
  SetIdle(true);
  m_timer.setInterval(kTakeMs);
  connect(&m_timer, &QTimer::timeout, this, &CStationDlg::TakeReadings);
}

CStationDlg::~CStationDlg() { m_run.Stop(); }

void CStationDlg::Build() {
  m_planLine = new QLineEdit;
  m_planLine->setReadOnly(true);
  m_station = new QLineEdit(QSysInfo::machineHostName().isEmpty() ? QStringLiteral("localhost")
                                                                   : QSysInfo::machineHostName());
  m_operator = new QLineEdit;
  m_folder = new QLineEdit;
  m_serial = new QLineEdit;
  m_broker = new QLineEdit;
  ui::SetSourceToolTip(m_broker, "每个单元的记录发布到此 MQTT 代理: mqtt://[用户[:密码]@]主机[:端口] 或 mqtts://...; 空: 不发布");
  m_brokerState = new QLabel;
  m_brokerState->setWordWrap(true);
  QFont large = m_serial->font();
  large.setPointSizeF(large.pointSizeF() * 1.6);
  m_serial->setFont(large);
  m_choose = Button("选择(&O)...");
  m_browse = Button("浏览(&B)...");
  m_start = Button("开始(&G)");
  m_stop = Button("停止(&S)");
  ui::SetSourceToolTip(m_stop, "结束正在进行的测试并停止电机 (F9)");
  ui::SetSourceToolTip(m_serial, "扫描或输入序列号, 回车开始测试");

  auto* form = new QGridLayout;
  form->addWidget(BuddyLabel("测试计划(&P):", m_planLine), 0, 0);
  form->addWidget(m_planLine, 0, 1, 1, 3);
  form->addWidget(m_choose, 0, 4);
  form->addWidget(BuddyLabel("工位(&T):", m_station), 1, 0);
  form->addWidget(m_station, 1, 1);
  form->addWidget(BuddyLabel("操作员(&R):", m_operator), 1, 2);
  form->addWidget(m_operator, 1, 3);
  form->addWidget(BuddyLabel("结果文件夹(&F):", m_folder), 2, 0);
  form->addWidget(m_folder, 2, 1, 1, 3);
  form->addWidget(m_browse, 2, 4);
  form->addWidget(BuddyLabel("MQTT 代理(&Q):", m_broker), 3, 0);
  form->addWidget(m_broker, 3, 1);
  form->addWidget(m_brokerState, 3, 2, 1, 3);
  form->addWidget(BuddyLabel("序列号(&N):", m_serial), 4, 0);
  form->addWidget(m_serial, 4, 1, 1, 2);
  form->addWidget(m_start, 4, 3);
  form->addWidget(m_stop, 4, 4);
  form->setColumnStretch(1, 1);
  form->setColumnStretch(3, 1);

  m_steps = Table(3);
  m_steps->setMinimumWidth(420);
  m_plot = new CStationPlot;
  m_promptBox = new QGroupBox;
  ui::SetSourceText(m_promptBox, "操作员确认");
  m_promptText = new QLabel;
  m_promptText->setWordWrap(true);
  auto* goOn = Button("继续(&C)");
  auto* abort = Button("中止(&A)");
  goOn->setObjectName(QStringLiteral("continue"));
  abort->setObjectName(QStringLiteral("abort"));
  auto* promptLayout = new QGridLayout(m_promptBox);
  promptLayout->addWidget(m_promptText, 0, 0, 1, 3);
  promptLayout->addWidget(goOn, 1, 1);
  promptLayout->addWidget(abort, 1, 2);
  promptLayout->setColumnStretch(0, 1);
  m_promptBox->hide();
  connect(goOn, &QPushButton::clicked, this, &CStationDlg::Continue);
  connect(abort, &QPushButton::clicked, this, &CStationDlg::Abort);
  auto* right = new QVBoxLayout;
  right->addWidget(m_plot, 1);
  right->addWidget(m_promptBox);
  auto* middle = new QHBoxLayout;
  middle->addWidget(m_steps, 3);
  middle->addLayout(right, 4);

  m_banner = new QLabel;
  m_banner->setAlignment(Qt::AlignCenter);
  QFont bannerFont = m_banner->font();
  bannerFont.setPointSizeF(bannerFont.pointSizeF() * 3.5);
  bannerFont.setBold(true);
  m_banner->setFont(bannerFont);
  m_banner->setMinimumHeight(QFontMetrics(bannerFont).height() * 3 / 2);
  m_banner->setAutoFillBackground(true);
  m_counters = new QLabel;
  m_recent = Table(3);
  m_recent->setMaximumHeight(150);
  ui::SetSourceToolTip(m_recent, "单击一行: 打开该单元的报告");
  auto* results = new QVBoxLayout;
  results->addWidget(m_counters);
  results->addWidget(m_recent);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(m_banner, 1);
  bottom->addLayout(results, 1);

  auto* page = new QVBoxLayout(this);
  page->addLayout(form);
  page->addLayout(middle, 1);
  page->addLayout(bottom);
  setMinimumSize(980, 640);
  m_serial->setFocus();
}

void CStationDlg::ConnectHandlers() {
  connect(m_choose, &QPushButton::clicked, this, &CStationDlg::ChoosePlan);
  connect(m_browse, &QPushButton::clicked, this, [this] {
    const std::string folder = ui::ChooseFile(this, ui::FileDialog::ResultsFolder, ToStdString(m_folder->text()));
    if (!folder.empty()) m_folder->setText(ToQString(folder));
    m_serial->setFocus();
  });
  connect(m_start, &QPushButton::clicked, this, &CStationDlg::Start);
  // A broker named is connected to at once: its state shows before a unit.
  connect(m_broker, &QLineEdit::editingFinished, this, [this] { UseBroker(); });
  connect(m_serial, &QLineEdit::returnPressed, this, &CStationDlg::Start);
  connect(m_stop, &QPushButton::clicked, this, &CStationDlg::StopRun);
  connect(m_recent, &QTableWidget::cellClicked, this, [this](int row) { OpenResult(row); });
}

bool CStationDlg::LoadPlan(const std::string& path) {
  testplan::Loaded loaded = testplan::LoadPlan(path);
  if (!loaded.plan) {
    ui::ShowMessage(this, loaded.refusal);
    return false;
  }
  m_plan = std::make_shared<const testplan::Plan>(std::move(*loaded.plan));
  // The folder follows the plan unless the operator chose another.
  const std::string folder = tr::DefaultResultsFolder(m_plan->name);
  if (m_folder->text().isEmpty() || ToStdString(m_folder->text()) == m_defaultFolder) {
    m_folder->setText(ToQString(folder));
  }
  m_defaultFolder = folder;
  m_results.assign(m_plan->steps.size(), std::nullopt);
  m_runningStep.reset();
  m_bannerState = BannerState::Ready;
  ShowPlan();
  ShowSteps();
  ShowBanner();
  m_serial->setFocus();
  return true;
}

void CStationDlg::ChoosePlan() {
  const std::string path = ui::ChooseFile(this, ui::FileDialog::OpenPlan, {});
  if (!path.empty()) LoadPlan(path);
  m_serial->setFocus();
}

void CStationDlg::Start() {
  if (m_run.Running()) return;
  // Whatever is refused, the entry is ready for the next scan.
  m_serial->selectAll();
  if (!m_plan) {
    ui::ShowMessage(this, Tr("请先选择测试计划"));
    return;
  }
  const std::string serial = ToStdString(m_serial->text().trimmed());
  if (std::string refusal = tr::SerialRefusal(serial, *m_plan); !refusal.empty()) {
    ui::ShowMessage(this, refusal);
    return;
  }
  if (!m_owner.session->IsOpen()) {
    ui::ShowMessage(this, Tr("串口未打开"));
    return;
  }
  if (m_owner.otherWork && m_owner.otherWork()) {
    ui::ShowMessage(this, Tr("串口正被其他工作占用, 请等它结束后再开始"));
    return;
  }
  // The record's place is checked before the driver is touched.
  const std::string folder = ToStdString(m_folder->text().trimmed());
  const std::string refusal = folder.empty() ? lang::Tr("没有结果文件夹") : tr::PrepareFolder(folder);
  if (!refusal.empty()) {
    ui::ShowMessage(this, refusal);
    return;
  }
  // A broker that does not fit is refused before the driver is touched;
  // one that is away only keeps the record spooled.
  if (const std::string broker = UseBroker(); !broker.empty()) {
    ui::ShowMessage(this, Fill(lang::Tr("MQTT 代理: {1}"), {broker}));
    return;
  }
  if (const auto earlier = station::EarlierTestOf(folder, serial)) {
    const std::string question =
        Fill(lang::Tr("序列号 {1} 已测试过 {2} 次, 最近一次 {3}: {4}。再测一次?"),
             {serial, std::to_string(earlier->count), earlier->time, earlier->outcome});
    if (!ui::AskQuestion(this, question)) return;
  }
  CStationRun::Unit unit;
  unit.plan = m_plan;
  unit.info.serial = serial;
  unit.info.station = ToStdString(m_station->text().trimmed());
  if (unit.info.station.empty()) unit.info.station = ToStdString(QSysInfo::machineHostName());
  unit.info.operatorName = ToStdString(m_operator->text().trimmed());
  unit.folder = folder;
  unit.slave = m_owner.session->Address();
  m_results.assign(m_plan->steps.size(), std::nullopt);
  m_runningStep = 0;
  m_plotStep.reset();
  m_plot->Begin({});
  if (!m_run.Start(m_owner.session->Link(), std::move(unit))) {
    m_runningStep.reset();
    ui::ShowMessage(this, Tr("无法启动测试"));
    return;
  }
  m_publish->Testing();
  m_bannerState = BannerState::Testing;
  SetIdle(false);
  ShowSteps();
  ShowBanner();
  m_timer.start();
}

void CStationDlg::StopRun() {
  if (m_run.Running()) {
    m_run.RequestStop();
    return;
  }
  if (m_owner.stopMotor) m_owner.stopMotor();
}

void CStationDlg::Continue() { Answer(true); }
void CStationDlg::Abort() { Answer(false); }

void CStationDlg::Answer(bool goOn) {
  if (m_promptBox->isHidden()) return;
  m_promptBox->hide();
  m_run.Answer(goOn);
  m_serial->setFocus();
}

void CStationDlg::OnPrompt(size_t index, const std::string& text) {
  m_promptText->setText(ToQString(fields::Printable(text)));
  m_promptBox->setProperty("step", static_cast<qulonglong>(index));
  m_promptBox->show();
  m_promptBox->findChild<QPushButton*>(QStringLiteral("continue"))->setFocus();
}

std::string CStationDlg::ResultFile(int row) const {
  if (row < 0 || row >= static_cast<int>(m_recentUnits.size())) return {};
  const RecentUnit& unit = m_recentUnits[static_cast<size_t>(row)];
  std::error_code error;
  if (!unit.report.empty() && std::filesystem::is_regular_file(unit.report, error)) return unit.report;
  if (!unit.record.empty() && std::filesystem::is_regular_file(unit.record, error)) return unit.record;
  return {};
}

void CStationDlg::OpenResult(int row) {
  const std::string file = ResultFile(row);
  if (file.empty()) {
    ui::ShowMessage(this, Tr("该单元的记录未保存"));
    return;
  }
  if (!QDesktopServices::openUrl(QUrl::fromLocalFile(ToQString(file)))) {
    ui::ShowMessage(this, Fill(lang::Tr("无法打开 {1}"), {file}));
  }
}

void CStationDlg::reject() {
  // The stop goes out and the record is written before the window goes.
  if (m_run.Running()) {
    m_promptBox->hide();
    m_run.Stop();
  }
  // A closed station is offline to the plant; it connects again at its next unit.
  m_publish->Close();
  QDialog::reject();
}

void CStationDlg::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange && m_steps != nullptr) {
    ShowPlan();
    ShowSteps();
    ShowBanner();
    ShowCounters();
    ShowRecent();
  }
  QDialog::changeEvent(event);
}

void CStationDlg::SetIdle(bool idle) {
  for (QWidget* input :
       std::initializer_list<QWidget*>{m_choose, m_browse, m_start, m_station, m_operator, m_folder, m_broker}) {
    input->setEnabled(idle);
  }
  m_serial->setReadOnly(!idle);
}

std::string CStationDlg::UseBroker() {
  std::string station = ToStdString(m_station->text().trimmed());
  if (station.empty()) station = ToStdString(QSysInfo::machineHostName());
  return m_publish->Use(ToStdString(m_broker->text().trimmed()), station);
}
