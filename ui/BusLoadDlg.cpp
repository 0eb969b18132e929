#include "ui/BusLoadDlg.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QEvent>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>
#include <tuple>

#include "ui/CompareDlg.h"
#include "ui/Retranslate.h"
#include "ui/Text.h"

namespace {

constexpr const char* kHeaders[CBusLoadDlg::ColumnCount] = {"地址", "设备型号", "要写入的参数", "结果", "写入前备份"};

}  // namespace

CBusLoadDlg::CBusLoadDlg(QWidget* parent, const QString& file) : QDialog(parent) {
  ui::SetSourceWindowTitle(this, "载入参数");
  auto* layout = new QVBoxLayout(this);
  auto* fileLine = new QLabel(file, this);
  fileLine->setWordWrap(true);
  layout->addWidget(fileLine);
  learning_ = new QCheckBox(this);
  ui::SetSourceText(learning_, "本机学习结果(&L)");
  layout->addWidget(learning_);
  auto* note = new QLabel(this);
  ui::SetSourceText(note, CCompareDlg::LearningNoteText);
  note->setWordWrap(true);
  layout->addWidget(note);

  auto* caption = new QLabel(this);
  ui::SetSourceText(caption, "所选设备(&D):");
  layout->addWidget(caption);
  table_ = new QTableWidget(0, ColumnCount, this);
  caption->setBuddy(table_);
  NameColumns();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setTabKeyNavigation(false);
  table_->verticalHeader()->hide();
  table_->horizontalHeader()->setStretchLastSection(true);
  layout->addWidget(table_, 1);
  std::tie(status_, write_) = ui::AddWriteFoot(this, layout, onWrite);
  connect(learning_, &QCheckBox::toggled, this, [this] {
    if (onRefresh) onRefresh();
  });
  resize(760, 360);
}

void CBusLoadDlg::NameColumns() {
  for (int c = 0; c < ColumnCount; ++c) table_->setHorizontalHeaderItem(c, new QTableWidgetItem(Tr(kHeaders[c])));
}

void CBusLoadDlg::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange && table_ != nullptr) {
    NameColumns();
    if (onRefresh) onRefresh();
  }
  QDialog::changeEvent(event);
}

void CBusLoadDlg::ShowRows(const std::vector<Row>& rows) {
  table_->setRowCount(static_cast<int>(rows.size()));
  for (int r = 0; r < static_cast<int>(rows.size()); ++r) {
    const Row& row = rows[static_cast<size_t>(r)];
    const QString* cells[ColumnCount] = {&row.address, &row.model, &row.differences, &row.outcome, &row.backup};
    for (int c = 0; c < ColumnCount; ++c) {
      if (table_->item(r, c) == nullptr) table_->setItem(r, c, new QTableWidgetItem);
      table_->item(r, c)->setText(*cells[c]);
    }
  }
  table_->resizeColumnsToContents();
}

void CBusLoadDlg::ShowStatus(const QString& text) { status_->setText(text); }

void CBusLoadDlg::EnableWrite(bool enabled) { write_->setEnabled(enabled); }

bool CBusLoadDlg::WithLearning() const { return learning_->isChecked(); }
