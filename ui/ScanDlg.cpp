#include "ui/ScanDlg.h"

#include <QEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include "fields/OpenFailureText.h"
#include "link/Line.h"
#include "link/PortDiagnosis.h"
#include "ui/DialogFont.h"
#include "ui/MessageBox.h"
#include "ui/PageBuilder.h"
#include "ui/PageSources.h"
#include "ui/Retranslate.h"
#include "ui/Text.h"
#include "ui/forms/ControlIds.h"
#include "ui/forms/DialogLayout.h"

namespace {

// `pattern` in the language in use with its values put in.
QString Filled(const char* pattern, std::initializer_list<std::string_view> values) {
  return ToQString(lang::Fill(lang::Tr(pattern), values));
}

// The connection panel's text of a parity, in the language in use.
std::string ParityText(Parity parity) {
  const auto items = forms::ComboItems(forms::ids::ParityCombo);
  const auto index = static_cast<size_t>(ParityIndex(parity));
  return index < items.size() ? lang::Tr(items[index]) : "";
}

constexpr const char* kColumns[] = {"地址", "波特率", "校验", "设备标识", "设备型号", "版本号", "应答"};
// The frame log's tag of the scans' link.
constexpr uint16_t ScanLogTag = 1;
// Shown at 0: each try waits what the rate needs.
constexpr const char* kAutomatic = "自动";

using forms::Field;

namespace id {
enum : int { FirstAddress = 1, LastAddress, PanelSettings, AllSettings, TryTimeout, Start, Cancel, Use, Close };
}  // namespace id

enum Group { RangeGroup, SettingsGroup, ButtonArea };
constexpr forms::GroupSpec kGroups[] = {{"地址范围", 0, 0}, {"通讯参数", 0, 1}, {nullptr, 0, 2}};
// The panel's own settings are named when the window shows.
constexpr forms::ListItem kSettings[] = {{"", 0}, {"全部波特率和校验方式 (共 18 种)", 1}};
constexpr int kSettingsButtons[] = {id::PanelSettings, id::AllSettings};

constexpr Field kControls[] = {
    Field::Spin(id::FirstAddress, "起始地址:").At(RangeGroup, 0),
    Field::Spin(id::LastAddress, "结束地址:").At(RangeGroup, 1),
    Field::Radio("", kSettings, kSettingsButtons).Stacked().At(SettingsGroup, 0),
    Field::Spin(id::TryTimeout, "每次等待应答:").At(SettingsGroup, 1),
    Field::Button(id::Start, "开始扫描").At(ButtonArea, 0),
    Field::Button(id::Cancel, "取消扫描").At(ButtonArea, 1),
    Field::Button(id::Use, "使用").At(ButtonArea, 2),
    Field::Button(id::Close, "关闭").At(ButtonArea, 3),
};

}  // namespace

CScanDlg::CScanDlg(Owner owner) : QDialog(owner.window), m_owner(std::move(owner)) {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
  ui::SetSourceWindowTitle(this, "扫描设备");
  setFont(DialogFont());

  auto* top = new QWidget;
  BuildPage(top, kGroups, {kControls}, m_controls);
  RememberPageSources(top, kGroups, {kControls}, m_controls);
  auto* topGrid = static_cast<QGridLayout*>(top->layout());
  topGrid->setContentsMargins(0, 0, 0, 0);
  topGrid->setColumnStretch(SettingsGroup, 1);
  m_first = m_controls.As<QSpinBox>(id::FirstAddress);
  m_last = m_controls.As<QSpinBox>(id::LastAddress);
  m_panelSettings = m_controls.As<QRadioButton>(id::PanelSettings);
  m_allSettings = m_controls.As<QRadioButton>(id::AllSettings);
  m_start = m_controls.As<QPushButton>(id::Start);
  m_cancel = m_controls.As<QPushButton>(id::Cancel);
  m_use = m_controls.As<QPushButton>(id::Use);
  for (QSpinBox* address : {m_first, m_last}) address->setRange(1, 128);
  m_first->setValue(1);
  m_last->setValue(128);
  m_panelSettings->setChecked(true);
  m_timeout = m_controls.As<QSpinBox>(id::TryTimeout);
  m_timeout->setRange(0, 60000);
  m_timeout->setSingleStep(50);
  m_timeout->setSuffix(" ms");
  m_timeout->setSpecialValueText(Tr(kAutomatic));
  m_timeout->setValue(0);
  // As wide as its longest value, not as the settings' column.
  m_timeout->setSizePolicy(QSizePolicy::Fixed, m_timeout->sizePolicy().verticalPolicy());
  ui::SetSourceToolTip(m_timeout, "自动: 每次只等请求和应答的线路时间加 20 ms, 迟到的应答以更长的超时重试; "
                                  "驱动器都慢的线路上设得更长");
  ui::SetSourceToolTip(m_use, "把选中的设备设到连接面板并打开串口 (双击一行也可)");

  m_progress = new QProgressBar;
  m_trying = new QLabel;
  m_results = new QTableWidget(0, static_cast<int>(std::size(kColumns)));
  NameColumns();
  Say([] { return Tr("尚未扫描"); });
  m_results->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_results->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_results->setSelectionMode(QAbstractItemView::SingleSelection);
  m_results->verticalHeader()->hide();
  m_results->horizontalHeader()->setStretchLastSection(true);
  m_results->setMinimumSize(640, 160);

  auto* page = new QVBoxLayout(this);
  page->addWidget(top);
  page->addWidget(m_progress);
  page->addWidget(m_trying);
  page->addWidget(m_results, 1);

  connect(m_start, &QPushButton::clicked, this, &CScanDlg::StartScan);
  connect(m_cancel, &QPushButton::clicked, this, &CScanDlg::CancelScan);
  connect(m_use, &QPushButton::clicked, this, &CScanDlg::UseSelected);
  connect(m_controls.As<QPushButton>(id::Close), &QPushButton::clicked, this, &QDialog::close);
  connect(m_results, &QTableWidget::cellDoubleClicked, this, [this](int row) {
    m_results->selectRow(row);
    UseSelected();
  });
  ShowScanning(false);
}

CScanDlg::~CScanDlg() {
  m_scan.RequestStop();
  m_scan.Join();
}

void CScanDlg::showEvent(QShowEvent* event) {
  m_panelLine = m_owner.panelLine();
  NamePanelSettings();
  QDialog::showEvent(event);
}

void CScanDlg::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange && m_results != nullptr) {
    m_timeout->setSpecialValueText(Tr(kAutomatic));
    NameColumns();
    NamePanelSettings();
    if (m_trying != nullptr && m_tryingText) m_trying->setText(m_tryingText());
    for (int row = 0; row < m_results->rowCount() && static_cast<size_t>(row) < m_found.size(); ++row) FillRow(row);
  }
  QDialog::changeEvent(event);
}

void CScanDlg::NameColumns() {
  QStringList headers;
  for (const char* column : kColumns) headers << Tr(column);
  m_results->setHorizontalHeaderLabels(headers);
}

void CScanDlg::NamePanelSettings() {
  if (m_panelLine.port.empty()) return;  // not yet shown
  m_panelSettings->setText(Filled("连接面板的设置 ({1}, {2}, {3})", {m_panelLine.port, std::to_string(m_panelLine.baud),
                                                                      ParityText(m_panelLine.parity)}));
}

void CScanDlg::Say(std::function<QString()> text) {
  m_tryingText = std::move(text);
  m_trying->setText(m_tryingText ? m_tryingText() : QString());
}

void CScanDlg::ShowScanning(bool scanning) {
  m_scanning = scanning;
  for (QWidget* control :
       std::initializer_list<QWidget*>{m_start, m_first, m_last, m_panelSettings, m_allSettings, m_timeout}) {
    control->setEnabled(!scanning);
  }
  m_cancel->setEnabled(scanning);
  m_use->setEnabled(!scanning && !m_found.empty());
}

template <class T>
void CScanDlg::Post(void (CScanDlg::*call)(const T&), const T& value) {
  const unsigned generation = m_generation;
  QMetaObject::invokeMethod(
      this,
      [this, call, value, generation] {
        if (generation == m_generation) (this->*call)(value);
      },
      Qt::QueuedConnection);
}

void CScanDlg::StartScan() {
  if (m_scanning) return;
  m_scan.Join();  // the last scan's worker, which has ended
  const Line line = m_owner.panelLine();
  scan::ScanPlan plan;
  plan.port = line.port;
  plan.firstAddress = static_cast<uint8_t>(std::min(m_first->value(), m_last->value()));
  plan.lastAddress = static_cast<uint8_t>(std::max(m_first->value(), m_last->value()));
  plan.settings = m_allSettings->isChecked() ? scan::Combine(scan::AllBauds(), scan::AllParities())
                                             : std::vector<scan::LineChoice>{{line.baud, line.parity}};
  if (m_timeout->value() > 0) plan.tryTimeout = std::chrono::milliseconds(m_timeout->value());
  // The scan opens the port itself at each setting; the window has it back
  // when the scan ends.
  const bool released = m_owner.lendPort();
  ++m_generation;
  m_found.clear();
  m_results->setRowCount(0);
  m_progress->setRange(0, static_cast<int>(plan.Tries()));
  m_progress->setValue(0);
  if (released) {
    Say([] { return Tr("串口由扫描使用, 扫描结束后重新打开"); });
  } else {
    Say(nullptr);
  }
  scan::ScanCallbacks callbacks;
  callbacks.progress = [this](const scan::Progress& progress) { Post(&CScanDlg::OnProgress, progress); };
  callbacks.found = [this](const scan::Found& found) { Post(&CScanDlg::OnFound, found); };
  const bool started = m_scan.Start(
      plan, callbacks, [this](const scan::ScanOutcome& outcome) { Post(&CScanDlg::OnFinished, outcome); },
      m_owner.frameLog, ScanLogTag);
  if (!started) {
    m_owner.takePortBack();
    ui::ShowMessage(this, Tr("无法启动扫描"));
    return;
  }
  ShowScanning(true);
}

void CScanDlg::CancelScan() { m_scan.RequestStop(); }

void CScanDlg::EndScan() {
  m_scan.RequestStop();
  m_scan.Join();
}

void CScanDlg::OnProgress(const scan::Progress& progress) {
  m_progress->setValue(static_cast<int>(progress.tried));
  Say([progress] {
    return Filled("正在尝试: 地址 {1}, {2}, {3} ({4}/{5})",
                  {std::to_string(progress.address), std::to_string(progress.line.baud),
                   ParityText(progress.line.parity), std::to_string(progress.tried + 1),
                   std::to_string(progress.total)});
  });
}

void CScanDlg::OnFound(const scan::Found& found) {
  m_found.push_back(found);
  const int row = m_results->rowCount();
  m_results->insertRow(row);
  FillRow(row);
  if (row == 0) m_results->selectRow(0);
}

void CScanDlg::FillRow(int row) {
  const scan::Found& found = m_found[static_cast<size_t>(row)];
  // The driver's own texts are shown as it gave them.
  const std::string cells[] = {std::to_string(found.address), std::to_string(found.line.baud),
                               ParityText(found.line.parity), found.Identity(), found.Model(), found.Version(),
                               lang::Tr(scan::AnswerText(found))};
  static_assert(std::size(cells) == std::size(kColumns));
  for (int column = 0; column < static_cast<int>(std::size(cells)); ++column) {
    QTableWidgetItem* item = m_results->item(row, column);
    if (item == nullptr) {
      m_results->setItem(row, column, new QTableWidgetItem(ToQString(cells[column])));
    } else {
      item->setText(ToQString(cells[column]));
    }
  }
  m_results->resizeColumnsToContents();
}

void CScanDlg::OnFinished(const scan::ScanOutcome& outcome) {
  m_progress->setValue(static_cast<int>(outcome.tried));
  const double seconds = std::chrono::duration<double>(outcome.elapsed).count();
  const char* how = outcome.end == scan::ScanEnd::Cancelled ? "已取消" : "扫描完成";
  Say([how, tried = outcome.tried, seconds, found = outcome.found.size()] {
    return Filled("{1}: 试了 {2} 次, 用时 {3} 秒, 找到 {4} 台",
                  {lang::Tr(how), std::to_string(tried), QString::number(seconds, 'f', 1).toStdString(),
                   std::to_string(found)});
  });
  ShowScanning(false);
  m_owner.takePortBack();
  if (std::function<void()> then = std::exchange(m_afterScan, {})) then();
  if (outcome.end == scan::ScanEnd::PortFailed) {
    ui::ShowMessage(this, fields::OpenFailureMessage(DiagnoseOpenFailure(outcome.failure)));
  }
}

void CScanDlg::UseSelected() {
  if (m_scanning) return;
  const int row = m_results->currentRow();
  if (row < 0 || static_cast<size_t>(row) >= m_found.size()) return;
  const scan::Found& found = m_found[static_cast<size_t>(row)];
  if (m_owner.useDriver(found.address, found.line.baud, found.line.parity)) close();
}
