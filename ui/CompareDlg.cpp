#include "ui/CompareDlg.h"

#include <QDialogButtonBox>
#include <algorithm>
#include <tuple>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include "ui/Retranslate.h"
#include "ui/Text.h"

namespace {

constexpr const char* kHeaders[CCompareDlg::ColumnCount] = {"参数块", "参数", "设备", "文件", "单位", "结果"};
// The rows of the motor's learning result stand apart from their block.
constexpr const char* kLearningResult = "本机学习结果";

// The table's texts are the parameter files' own words (a block's title, a
// parameter's name, a list item, a unit), shown in the language in use;
// numbers stay as they are.
QTableWidgetItem* Cell(const std::string& text) {
  auto* item = new QTableWidgetItem(Tr(text));
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  return item;
}

}  // namespace

CCompareDlg::CCompareDlg(QWidget* parent, const std::vector<paramfile::Difference>& rows,
                         const std::vector<bool>& ticked, const QString& identityLine)
    : QDialog(parent) {
  ui::SetSourceWindowTitle(this, "载入参数");
  auto* layout = new QVBoxLayout(this);
  identity_ = new QLabel(identityLine, this);
  identity_->setVisible(!identityLine.isEmpty());
  identity_->setWordWrap(true);
  layout->addWidget(identity_);
  learning_ = new QLabel(this);
  ui::SetSourceText(learning_, LearningNoteText);
  learning_->setWordWrap(true);
  learning_->setVisible(std::any_of(rows.begin(), rows.end(), [](const auto& row) { return row.learning; }));
  layout->addWidget(learning_);

  auto* caption = new QLabel(this);
  ui::SetSourceText(caption, "与文件不同的参数(&D):");
  layout->addWidget(caption);
  table_ = new QTableWidget(static_cast<int>(rows.size()), ColumnCount, this);
  caption->setBuddy(table_);
  NameColumns();
  for (size_t r = 0; r < rows.size(); ++r) {
    const paramfile::Difference& row = rows[r];
    const int at = static_cast<int>(r);
    QTableWidgetItem* block = Cell(row.learning ? kLearningResult : paramfile::BlockAt(row.block).title);
    block->setFlags(block->flags() | Qt::ItemIsUserCheckable);
    block->setCheckState(r < ticked.size() && ticked[r] ? Qt::Checked : Qt::Unchecked);
    table_->setItem(at, Block, block);
    table_->setItem(at, Field, Cell(row.name));
    table_->setItem(at, Device, Cell(row.device));
    table_->setItem(at, File, Cell(row.file));
    table_->setItem(at, Unit, Cell(row.unit));
    table_->setItem(at, Result, Cell(""));
  }
  // The table is one stop of Tab, so that Tab reaches the buttons; the
  // arrows move between its cells.
  table_->setTabKeyNavigation(false);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  table_->resizeColumnsToContents();
  layout->addWidget(table_);

  std::tie(status_, write_) = ui::AddWriteFoot(this, layout, onWrite);
  connect(table_, &QTableWidget::itemChanged, this, [this](QTableWidgetItem* item) {
    if (item->column() == Block && item->checkState() == Qt::Checked) write_->setEnabled(true);
  });
  resize(760, 420);
}

namespace ui {

std::pair<QLabel*, QPushButton*> AddWriteFoot(QDialog* dialog, QBoxLayout* layout, const std::function<void()>& onWrite) {
  auto* status = new QLabel(dialog);
  status->setWordWrap(true);
  layout->addWidget(status);
  auto* buttons = new QDialogButtonBox(dialog);
  QPushButton* write = buttons->addButton(QString(), QDialogButtonBox::ActionRole);
  QPushButton* close = buttons->addButton(QString(), QDialogButtonBox::RejectRole);
  SetSourceText(write, "写入(&W)");
  SetSourceText(close, "关闭(&C)");
  QObject::connect(write, &QPushButton::clicked, dialog, [&onWrite] {
    if (onWrite) onWrite();
  });
  QObject::connect(close, &QPushButton::clicked, dialog, &QDialog::reject);
  layout->addWidget(buttons);
  return {status, write};
}

}  // namespace ui

void CCompareDlg::NameColumns() {
  for (int c = 0; c < ColumnCount; ++c) table_->setHorizontalHeaderItem(c, new QTableWidgetItem(Tr(kHeaders[c])));
}

void CCompareDlg::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange && table_ != nullptr) NameColumns();
  QDialog::changeEvent(event);
}

std::vector<bool> CCompareDlg::Ticked() const {
  std::vector<bool> ticked;
  for (int r = 0; r < table_->rowCount(); ++r) ticked.push_back(table_->item(r, Block)->checkState() == Qt::Checked);
  return ticked;
}

void CCompareDlg::ShowResults(const std::vector<QString>& results) {
  for (int r = 0; r < table_->rowCount() && static_cast<size_t>(r) < results.size(); ++r) {
    table_->item(r, Result)->setText(results[static_cast<size_t>(r)]);
  }
}

void CCompareDlg::ShowStatus(const QString& text) { status_->setText(text); }

void CCompareDlg::EnableWrite(bool enabled) { write_->setEnabled(enabled); }

void CCompareDlg::ShowDevice(const std::vector<QString>& device) {
  for (int r = 0; r < table_->rowCount() && static_cast<size_t>(r) < device.size(); ++r) {
    table_->item(r, Device)->setText(device[static_cast<size_t>(r)]);
  }
}
