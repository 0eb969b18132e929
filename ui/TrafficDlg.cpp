#include "ui/TrafficDlg.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

#include "ui/DialogFont.h"
#include "ui/FileDialogs.h"
#include "ui/MainDlg.h"
#include "ui/MessageBox.h"
#include "ui/PageBuilder.h"
#include "ui/PageSources.h"
#include "ui/Retranslate.h"
#include "ui/Text.h"
#include "ui/forms/DialogLayout.h"

namespace {

// `pattern` in the language in use with its values put in.
std::string Filled(const char* pattern, std::initializer_list<std::string_view> values) {
  return lang::Fill(lang::Tr(pattern), values);
}

// A tick reads at most this many batches, so that catching up after a
// pause never holds the window long.
constexpr int kBatchesPerTick = 8;

using forms::Field;

constexpr forms::ListItem kResults[] = {{"全部结果", 0}, {"成功", 1}, {"失败", 2}};
// The function codes by their values; "全部功能码" filters none.
constexpr uint32_t kAnyFunction = 0;
constexpr forms::ListItem kFunctions[] = {{"全部功能码", kAnyFunction}, {"03 读取寄存器", 0x03}, {"06 写单个寄存器", 0x06},
                                          {"10 写多个寄存器", 0x10}, {"2B 设备识别码", 0x2B}};

namespace id {
enum : int { Pause = 1, Results, Functions, Text, Export, Copy, Stop };
}  // namespace id

// One row of tools above the table.
constexpr forms::GroupSpec kGroups[] = {{nullptr, 0, 0}};
constexpr Field kControls[] = {
    Field::Button(id::Pause, "暂停显示").At(0, 0, 0),
    Field::List(id::Results, "结果:", kResults).At(0, 0, 1),
    Field::List(id::Functions, "功能码:", kFunctions).At(0, 0, 3),
    Field::Edit(id::Text, "查找:").At(0, 0, 5),
    Field::Button(id::Export, "导出...").Object("exportLog").At(0, 0, 7),
    Field::Button(id::Copy, "复制为十六进制").At(0, 0, 8),
    Field::Button(id::Stop, "停止电机").At(0, 0, 9),
};

// The register value of the item chosen in `list`, whose items are `items`.
uint32_t Chosen(const QComboBox* list, std::span<const forms::ListItem> items) {
  const int index = list->currentIndex();
  return index >= 0 && static_cast<size_t>(index) < items.size() ? items[static_cast<size_t>(index)].value : 0;
}

}  // namespace

CTrafficDlg::CTrafficDlg(CMainDlg& owner, std::shared_ptr<const FrameLog> log)
    : QDialog(&owner), m_owner(owner), m_model(std::move(log)), m_lastFolder(ToStdString(QDir::homePath())) {
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowMinMaxButtonsHint);
  ui::SetSourceWindowTitle(this, "通讯记录");
  setFont(DialogFont());

  auto* tools = new QWidget;
  BuildPage(tools, kGroups, {kControls}, m_controls);
  RememberPageSources(tools, kGroups, {kControls}, m_controls);
  tools->layout()->setContentsMargins(0, 0, 0, 0);
  m_pause = m_controls.As<QPushButton>(id::Pause);
  m_pause->setCheckable(true);
  ui::SetSourceToolTip(m_pause, "暂停时记录照常进行, 继续后补上");
  m_results = m_controls.As<QComboBox>(id::Results);
  m_functions = m_controls.As<QComboBox>(id::Functions);
  for (QComboBox* list : {m_results, m_functions}) list->setCurrentIndex(0);
  m_text = m_controls.As<QLineEdit>(id::Text);
  ui::SetSourceText(m_text, "含义、字节或结果中的文字");
  ui::SetSourceToolTip(m_controls.Get(id::Stop), forms::texts::StopTooltip);

  m_table = new QTableView;
  m_table->setModel(&m_model);
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->setWordWrap(false);
  m_table->verticalHeader()->hide();
  m_table->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  m_table->horizontalHeader()->setStretchLastSection(true);
  SizeColumns();
  m_table->installEventFilter(this);
  m_counts = new QLabel;

  auto* page = new QVBoxLayout(this);
  page->addWidget(tools);
  page->addWidget(m_table, 1);
  page->addWidget(m_counts);

  connect(m_pause, &QPushButton::toggled, this, &CTrafficDlg::SetPaused);
  connect(m_results, &QComboBox::currentIndexChanged, this, &CTrafficDlg::ApplyFilter);
  connect(m_functions, &QComboBox::currentIndexChanged, this, &CTrafficDlg::ApplyFilter);
  connect(m_text, &QLineEdit::textChanged, this, &CTrafficDlg::ApplyFilter);
  connect(m_controls.As<QPushButton>(id::Export), &QPushButton::clicked, this, &CTrafficDlg::OnExport);
  connect(m_controls.As<QPushButton>(id::Copy), &QPushButton::clicked, this, &CTrafficDlg::CopyHex);
  connect(m_controls.As<QPushButton>(id::Stop), &QPushButton::clicked, this, [this] { m_owner.StopMotor(this); });
  m_timer.setParent(this);
  connect(&m_timer, &QTimer::timeout, this, &CTrafficDlg::Refresh);
  ShowCounts();
}

void CTrafficDlg::SizeColumns() {
  // Each column as wide as its widest text or its header; the meaning gets
  // room for a long line (the whole of it in its tooltip), the bytes the
  // rest, and the table is wide enough that a request's bytes show whole.
  const QFontMetrics metrics(font());
  m_table->verticalHeader()->setDefaultSectionSize(metrics.height() + 6);
  constexpr const char* kWidest[] = {"00:00:00.000000", "未请求", "128", "FF", "256", "正确", "500.0 ms",
                                     "网关目标设备响应失败", "", "00 00 00 00 00 00 00 00"};
  static_assert(std::size(kWidest) == CTrafficModel::ColumnCount);
  constexpr int kPadding = 16;
  for (int column = 0; column < CTrafficModel::ColumnCount; ++column) {
    const QString header = m_model.headerData(column, Qt::Horizontal, Qt::DisplayRole).toString();
    const int text = std::max(metrics.horizontalAdvance(Tr(kWidest[column])), metrics.horizontalAdvance(header));
    m_table->setColumnWidth(column, text + kPadding);
  }
  m_table->setColumnWidth(CTrafficModel::Meaning, metrics.horizontalAdvance(QString(28, QChar(0x5B57))));
  int width = 0;
  for (int column = 0; column < CTrafficModel::ColumnCount; ++column) width += m_table->columnWidth(column);
  m_table->setMinimumSize(std::max(900, width + m_table->verticalScrollBar()->sizeHint().width() +
                                            2 * m_table->frameWidth()),
                          360);
}

void CTrafficDlg::changeEvent(QEvent* event) {
  if (event->type() == QEvent::LanguageChange && m_counts != nullptr) {
    m_model.Renamed();
    SizeColumns();
    ShowPause();
    ShowCounts();
  }
  QDialog::changeEvent(event);
}

void CTrafficDlg::ShowPause() { ui::SetSourceText(m_pause, m_paused ? "继续显示" : "暂停显示"); }

void CTrafficDlg::showEvent(QShowEvent* event) {
  Refresh();
  m_timer.start(RefreshMs);
  QDialog::showEvent(event);
}

void CTrafficDlg::hideEvent(QHideEvent* event) {
  m_timer.stop();
  QDialog::hideEvent(event);
}

void CTrafficDlg::Refresh() {
  if (m_paused) {
    m_model.DropGone();  // the log goes on recording, and drops its oldest
    ShowCounts();
    return;
  }
  // A chosen row or a view scrolled up stays where it is; only a view at
  // the bottom with nothing chosen follows the newest frame.
  QScrollBar* scroll = m_table->verticalScrollBar();
  const bool follow = scroll->value() == scroll->maximum() && !m_table->selectionModel()->hasSelection();
  m_model.Refresh(kBatchesPerTick);
  if (follow) m_table->scrollToBottom();
  ShowCounts();
}

void CTrafficDlg::SetPaused(bool paused) {
  m_paused = paused;
  if (m_pause->isChecked() != paused) m_pause->setChecked(paused);
  ShowPause();
  if (!paused) Refresh();
  ShowCounts();
}

void CTrafficDlg::ApplyFilter() {
  traffic::Filter filter;
  const uint32_t result = Chosen(m_results, kResults);
  filter.results = result == 1   ? traffic::Filter::Results::Successes
                   : result == 2 ? traffic::Filter::Results::Failures
                                 : traffic::Filter::Results::All;
  const uint32_t function = Chosen(m_functions, kFunctions);
  filter.function = function == kAnyFunction ? -1 : static_cast<int>(function);
  filter.text = ToStdString(m_text->text().trimmed());
  m_model.SetFilter(filter);
  ShowCounts();
}

QString CTrafficDlg::CountsText() const { return m_counts->text(); }

void CTrafficDlg::ShowCounts() {
  const traffic::LogView& view = m_model.View();
  const FrameLog& log = view.Log();
  const uint64_t first = view.FirstKept();
  // While the display is paused the frames wait in the log; they are
  // counted as the table will hold them once it catches up.
  const uint64_t upTo = m_paused ? log.LastSequence() : view.Cursor();
  const uint64_t held = upTo >= first ? upTo - first + 1 : 0;
  std::string text = Filled("记录 {1} 帧 (最多 {2}), 显示 {3} 帧",
                            {std::to_string(held), std::to_string(log.FrameCapacity()), std::to_string(view.Size())});
  const uint64_t dropped = first - 1;
  if (dropped > 0) text = Filled("{1}, 较早的 {2} 帧已舍弃", {text, std::to_string(dropped)});
  if (m_paused) text = Filled("{1}, 已暂停显示 (记录继续)", {text});
  m_counts->setText(ToQString(text));
}

traffic::Exported CTrafficDlg::Export(const std::string& path) {
  return traffic::ExportRecords(path, traffic::FormatOf(path), [this](const auto& sink) { m_model.View().ForEach(sink); });
}

std::string CTrafficDlg::ExportTo(const std::string& path) { return Export(path).error; }

void CTrafficDlg::OnExport() {
  const std::string path =
      ui::ChooseFile(this, ui::FileDialog::ExportTraffic, m_lastFolder + "/" + lang::Tr("通讯记录.csv"));
  if (path.empty()) return;
  m_lastFolder = ToStdString(QFileInfo(ToQString(path)).absolutePath());
  const traffic::Exported exported = Export(path);
  if (!exported.error.empty()) {
    ui::ShowMessage(this, Filled("导出失败: {1}", {exported.error}));
    return;
  }
  // A box: the counts line below is rewritten at every refresh.
  ui::ShowMessage(this, Filled("已导出 {1} 帧到 {2}", {std::to_string(exported.records), path}));
}

std::set<int> CTrafficDlg::ChosenRows() const {
  std::set<int> rows;
  for (const QModelIndex& index : m_table->selectionModel()->selectedRows()) rows.insert(index.row());
  return rows;
}

void CTrafficDlg::CopyHex() {
  QString text;
  for (int row : ChosenRows()) {
    const traffic::Record record = m_model.RecordAt(row);
    if (record.sequence != 0) text += ToQString(traffic::HexColumn(record)) + QLatin1Char('\n');
  }
  QApplication::clipboard()->setText(text);
}

void CTrafficDlg::CopyRows() {
  QString text;
  for (int row : ChosenRows()) {
    for (int column = 0; column < CTrafficModel::ColumnCount; ++column) {
      if (column > 0) text += QLatin1Char('\t');
      text += m_model.data(m_model.index(row, column), Qt::DisplayRole).toString();
    }
    text += QLatin1Char('\n');
  }
  QApplication::clipboard()->setText(text);
}

bool CTrafficDlg::eventFilter(QObject* watched, QEvent* event) {
  // The table's own copy takes one cell; the operator wants the rows.
  const bool key = event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride;
  if (watched == m_table && key && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Copy)) {
    if (event->type() == QEvent::KeyPress) CopyRows();
    event->accept();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}
