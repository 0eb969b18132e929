#include "ui/BusOverviewDlg.h"

#include <QEvent>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "fields/StatusTexts.h"
#include "ui/DialogFont.h"
#include "ui/MessageBox.h"
#include "ui/PageBuilder.h"
#include "ui/PageSources.h"
#include "ui/Retranslate.h"
#include "ui/Text.h"

namespace {

using forms::Field;

namespace id {
enum : int { Address = 1, Add, FromScan, Scan, Save, Load, Remove, StopAll, Close };
}  // namespace id

enum Group { AddGroup, ChosenGroup, ButtonArea };
constexpr forms::GroupSpec kGroups[] = {{"添加设备", 0, 0}, {"所选设备", 0, 1}, {nullptr, 0, 2}};
constexpr Field kControls[] = {
    Field::Spin(id::Address, "地址:").At(AddGroup, 0),
    Field::Button(id::Add, "添加").At(AddGroup, 1),
    Field::Button(id::FromScan, "添加扫描结果").At(AddGroup, 2),
    Field::Button(id::Scan, "扫描...").At(AddGroup, 3),
    Field::Button(id::Save, "保存参数").At(ChosenGroup, 0),
    Field::Button(id::Load, "载入参数").At(ChosenGroup, 1),
    Field::Button(id::Remove, "移除").At(ChosenGroup, 2),
    Field::Button(id::StopAll, "全部停止").At(ButtonArea, 0),
    Field::Button(id::Close, "关闭").At(ButtonArea, 1),
};

// The status fields shown, by their key in fields::StatusFields().
constexpr const char* kStatusKeys[] = {"outputPwm", "motorSpeed", "phaseCurrent", "errorState"};

// The columns: the address and identity, the status fields above, then how
// the driver is being heard.
enum Column : int { AddressColumn, IdentityColumn, ModelColumn, VersionColumn, FirstStatusColumn };
constexpr int kAgeColumn = FirstStatusColumn + static_cast<int>(std::size(kStatusKeys));
constexpr int kResultColumn = kAgeColumn + 1;
constexpr int kRateColumn = kAgeColumn + 2;
constexpr int kStopColumn = kAgeColumn + 3;
constexpr int kColumnCount = kAgeColumn + 4;
constexpr const char* kOtherColumns[] = {"地址", "设备标识", "设备型号", "版本号"};
constexpr const char* kHearingColumns[] = {"上次应答", "结果", "读取/秒", "停止"};

// Index of each shown status field in fields::StatusFields().
std::vector<size_t> StatusIndexes() {
  std::vector<size_t> indexes;
  const auto all = fields::StatusFields();
  for (const char* key : kStatusKeys) {
    for (size_t i = 0; i < all.size(); ++i) {
      if (std::string_view(all[i].key) == key) indexes.push_back(i);
    }
  }
  return indexes;
}

QString Seconds(std::chrono::steady_clock::duration age) {
  const double seconds = std::chrono::duration<double>(age).count();
  return ToQString(lang::Fill(lang::Tr("{1} 秒前"), {QString::number(seconds, 'f', 1).toStdString()}));
}

}  // namespace

CBusOverviewDlg::CBusOverviewDlg(Owner owner)
    : QDialog(owner.window),
      m_owner(std::move(owner)),
      m_params(CBusParamFlow::Window{this, m_owner.link, m_owner.watch, m_owner.header, m_owner.otherWork}) {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinimizeButtonHint);
  ui::SetSourceWindowTitle(this, "总线总览");
  setFont(DialogFont());

  auto* top = new QWidget;
  BuildPage(top, kGroups, {kControls}, m_controls);
  RememberPageSources(top, kGroups, {kControls}, m_controls);
  static_cast<QGridLayout*>(top->layout())->setContentsMargins(0, 0, 0, 0);
  m_address = m_controls.As<QSpinBox>(id::Address);
  m_address->setRange(1, static_cast<int>(session::BusWatch::MaxDrivers));
  m_address->setValue(1);
  ui::SetSourceToolTip(m_controls.As<QPushButton>(id::StopAll), "向列表中每台设备发送所选方式的停止命令 (F9)");
  ui::SetSourceToolTip(m_controls.As<QPushButton>(id::Save), "所选设备的全部参数, 每台一个文件, 保存到一个文件夹");
  ui::SetSourceToolTip(m_controls.As<QPushButton>(id::Load), "一个参数文件写入所选的每台设备, 写入前备份, 写入后读回");
  ui::SetSourceToolTip(m_controls.As<QPushButton>(id::Scan), "打开扫描设备窗口; 扫描结束后, 识别到的设备加入列表");

  m_table = new QTableWidget(0, kColumnCount);
  NameColumns();
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->setSelectionMode(QAbstractItemView::ExtendedSelection);
  m_table->verticalHeader()->hide();
  m_table->horizontalHeader()->setStretchLastSection(true);
  m_table->setMinimumSize(860, 200);
  ui::SetSourceToolTip(m_table, "双击一行: 主窗口改用该设备的地址");
  m_said = new QLabel;

  auto* page = new QVBoxLayout(this);
  page->addWidget(top);
  page->addWidget(m_table, 1);
  page->addWidget(m_said);

  connect(m_controls.As<QPushButton>(id::Add), &QPushButton::clicked, this, &CBusOverviewDlg::AddAddress);
  connect(m_controls.As<QPushButton>(id::FromScan), &QPushButton::clicked, this, &CBusOverviewDlg::AddFromScan);
  connect(m_controls.As<QPushButton>(id::Scan), &QPushButton::clicked, this, &CBusOverviewDlg::Scan);
  connect(m_controls.As<QPushButton>(id::Save), &QPushButton::clicked, this, [this] { m_params.Save(Selected()); });
  connect(m_controls.As<QPushButton>(id::Load), &QPushButton::clicked, this, [this] { m_params.Load(Selected()); });
  connect(m_controls.As<QPushButton>(id::Remove), &QPushButton::clicked, this, &CBusOverviewDlg::RemoveSelected);
  connect(m_controls.As<QPushButton>(id::StopAll), &QPushButton::clicked, this, &CBusOverviewDlg::StopAll);
  connect(m_controls.As<QPushButton>(id::Close), &QPushButton::clicked, this, &QDialog::close);
  connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row) {
    const std::vector<uint8_t> addresses = m_owner.watch->Addresses();
    if (row >= 0 && static_cast<size_t>(row) < addresses.size()) m_owner.useAddress(addresses[row]);
  });
  // The rows' ages and rates move on their own; a quarter second is fine
  // enough for the eye and cheap with many rows.
  m_timer.setInterval(250);
  connect(&m_timer, &QTimer::timeout, this, &CBusOverviewDlg::Refresh);
}

void CBusOverviewDlg::showEvent(QShowEvent* event) {
  // The first time it opens, the last scan's drivers are its rows.
  if (m_owner.watch->Empty()) AddFromScan();
  Refresh();
  m_timer.start();
  QDialog::showEvent(event);
}

void CBusOverviewDlg::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange && m_table != nullptr) {
    NameColumns();
    if (m_saidText) m_said->setText(m_saidText());
    Refresh();
  }
  QDialog::changeEvent(event);
}

void CBusOverviewDlg::NameColumns() {
  QStringList headers;
  for (const char* column : kOtherColumns) headers << Tr(column);
  const auto all = fields::StatusFields();
  for (size_t index : StatusIndexes()) headers << Tr(all[index].name);
  for (const char* column : kHearingColumns) headers << Tr(column);
  m_table->setHorizontalHeaderLabels(headers);
}

void CBusOverviewDlg::AddAddress() {
  if (!m_owner.watch->Add(static_cast<uint8_t>(m_address->value()))) {
    ui::ShowMessage(this, Tr("该地址已在列表中"));
    return;
  }
  Refresh();
}

void CBusOverviewDlg::AddFromScan() {
  for (const scan::Found& found : m_owner.lastScan()) {
    std::optional<session::BusWatch::InfoTexts> info;
    if (found.answer == scan::Answer::Identified) info = found.texts;
    m_owner.watch->Add(found.address, info);
  }
  Refresh();
}

std::vector<uint8_t> CBusOverviewDlg::Selected() const {
  const std::vector<uint8_t> addresses = m_owner.watch->Addresses();
  std::vector<uint8_t> chosen;
  for (const QModelIndex& row : m_table->selectionModel()->selectedRows()) {
    if (static_cast<size_t>(row.row()) < addresses.size()) chosen.push_back(addresses[static_cast<size_t>(row.row())]);
  }
  // In the table's order, whichever way the rows were picked.
  std::sort(chosen.begin(), chosen.end(), [&addresses](uint8_t a, uint8_t b) {
    return std::find(addresses.begin(), addresses.end(), a) < std::find(addresses.begin(), addresses.end(), b);
  });
  return chosen;
}

void CBusOverviewDlg::RemoveSelected() {
  const std::vector<uint8_t> chosen = Selected();
  if (chosen.empty()) return;
  m_owner.watch->Remove(chosen);
  m_table->clearSelection();
  Refresh();
}

void CBusOverviewDlg::Scan() {
  // Whatever the scan window's next scan identifies joins the rows.
  QPointer<CBusOverviewDlg> self(this);
  m_owner.openScan([self] {
    if (self != nullptr) self->AddFromScan();
  });
}

void CBusOverviewDlg::StopAll() {
  if (!m_owner.link->IsOpen()) {
    ui::ShowMessage(this, Tr("串口未打开"));
    return;
  }
  const auto results = m_owner.watch->StopAll(*m_owner.link, m_owner.stopValue());
  std::string stopped;
  std::string silent;
  for (const auto& [address, result] : results) {
    std::string& list = result == ResultSuccess ? stopped : silent;
    list += (list.empty() ? "" : ", ") + std::to_string(address);
  }
  m_saidText = [stopped, silent] {
    return ToQString(lang::Fill(lang::Tr("已停止: {1}; 未应答: {2}"),
                                {stopped.empty() ? "-" : stopped, silent.empty() ? "-" : silent}));
  };
  m_said->setText(m_saidText());
  Refresh();
}

void CBusOverviewDlg::Refresh() {
  const auto rows = m_owner.watch->Rows(session::BusWatch::Clock::now());
  m_table->setRowCount(static_cast<int>(rows.size()));
  const std::vector<size_t> statusIndexes = StatusIndexes();
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const session::BusWatch::Row& row = rows[static_cast<size_t>(r)];
    QString cells[kColumnCount];
    cells[AddressColumn] = QString::number(row.address);
    if (row.info) {
      // The driver's own texts are shown as it gave them.
      cells[IdentityColumn] = ToQString((*row.info)[fields::IdentityField]);
      cells[ModelColumn] = ToQString((*row.info)[fields::ModelField]);
      cells[VersionColumn] = ToQString((*row.info)[fields::VersionField]);
    }
    if (row.status) {
      const auto texts = fields::StatusTexts(*row.status);
      for (size_t i = 0; i < statusIndexes.size(); ++i) {
        cells[FirstStatusColumn + static_cast<int>(i)] = ToQString(texts[statusIndexes[i]]);
      }
    }
    cells[kAgeColumn] = row.age ? Seconds(*row.age) : Tr("从未应答");
    if (row.lastResult) cells[kResultColumn] = ToQString(ResultText(*row.lastResult));
    cells[kRateColumn] = QString::number(row.readsPerSecond, 'f', 1);
    if (row.stopResult) cells[kStopColumn] = ToQString(ResultText(*row.stopResult));
    for (int column = 0; column < kColumnCount; ++column) {
      QTableWidgetItem* item = m_table->item(r, column);
      if (item == nullptr) {
        m_table->setItem(r, column, new QTableWidgetItem(cells[column]));
      } else if (item->text() != cells[column]) {
        item->setText(cells[column]);
      }
    }
  }
}
