// "通讯记录" in the real window: what the pages and the status poll send and
// get back, decoded; pause with the recording going on; filters; export as
// CSV and JSON Lines; copy as hex.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QHeaderView>
#include <QPushButton>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <fstream>

#include "MainDlgFixture.h"
#include "ui/FileDialogs.h"
#include "ui/TrafficDlg.h"

namespace {

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

TEST_F(MainDlgTest, TrafficLogShowsDecodesPausesFiltersAndExports) {
  Click(ids::OpenPortButton);
  ChooseMenuItem(CMainDlg::Menu::Tools, QString::fromUtf8("通讯记录(&L)"));
  CTrafficDlg* log = dlg->TrafficWindow();
  ASSERT_TRUE(log->isVisible());
  const CTrafficModel& model = log->Model();

  Click(ids::ReadInfoButton);
  ASSERT_TRUE(WaitFor([&] { return model.rowCount() == 2; })) << "the timer brings the read";
  const traffic::Record& sent = model.RecordAt(0);
  EXPECT_EQ(sent.direction, traffic::Direction::Sent);
  EXPECT_EQ(sent.meaning, "读取 设备信息 (0x0000 起 14 个寄存器)");
  EXPECT_EQ(traffic::ResultColumn(sent), "操作成功");
  const traffic::Record& received = model.RecordAt(1);
  EXPECT_EQ(received.direction, traffic::Direction::Received);
  EXPECT_TRUE(received.crcGood);
  EXPECT_EQ(received.bytes.size(), 33u);
  EXPECT_NE(received.meaning.find("设备型号=KVB-4815-RS485-S"), std::string::npos) << received.meaning;
  EXPECT_GT(received.roundTrip.count(), 0);

  // Paused, the window shows nothing new while polls go on; resumed, it
  // catches up with all of them.
  log->SetPaused(true);
  const int paused = model.rowCount();
  Click(ids::AutoUpdate);
  ASSERT_TRUE(WaitFor([&] { return dlg->m_link.Statistics().successes >= 4; }));
  QTest::qWait(2 * CTrafficDlg::RefreshMs);
  EXPECT_EQ(model.rowCount(), paused);
  Click(ids::AutoUpdate);
  ASSERT_TRUE(WaitFor([&] { return !dlg->StatusPollRunning(); }));
  log->SetPaused(false);
  const uint64_t transactions = dlg->m_link.Statistics().transactions;
  EXPECT_EQ(model.rowCount(), static_cast<int>(2 * transactions)) << "every request and every answer";

  // Filters: by text, then failures only.
  line.Driver().SetFault(sim::Fault::Of(sim::FaultKind::NoAnswer, 1));
  Click(ids::ReadInfoButton);
  log->Refresh();
  log->findChild<QLineEdit*>()->setText(QString::fromUtf8("实时状态"));
  ASSERT_GT(model.rowCount(), 0);
  for (int row = 0; row < model.rowCount(); ++row) {
    EXPECT_NE(model.RecordAt(row).meaning.find("实时状态"), std::string::npos) << model.RecordAt(row).meaning;
  }
  log->findChild<QLineEdit*>()->clear();
  auto lists = log->findChildren<QComboBox*>();
  lists[0]->setCurrentIndex(2);  // 失败
  ASSERT_EQ(model.rowCount(), 1) << "the read that got no answer";
  EXPECT_EQ(traffic::ResultColumn(model.RecordAt(0)), "通讯超时");
  lists[0]->setCurrentIndex(0);

  // Export: CSV with its header, JSON Lines one object a line, each written
  // whole over what was there.
  QTemporaryDir folder;
  const std::string csv = QDir(folder.path()).filePath("log.csv").toStdString();
  const std::string jsonl = QDir(folder.path()).filePath("log.jsonl").toStdString();
  std::ofstream(csv) << "old";
  ASSERT_EQ(log->ExportTo(csv), "");
  ASSERT_EQ(log->ExportTo(jsonl), "");
  const std::vector<std::string> rows = Lines(csv);
  ASSERT_EQ(rows.size(), static_cast<size_t>(model.rowCount()) + 1);
  EXPECT_EQ(rows[0], "\xEF\xBB\xBF时间,方向,从站,功能码,长度,CRC,往返,结果,含义,字节\r");
  const std::vector<std::string> objects = Lines(jsonl);
  ASSERT_EQ(objects.size(), static_cast<size_t>(model.rowCount()));
  const nlohmann::json first = nlohmann::json::parse(objects[0]);
  EXPECT_EQ(first["meaning"], "读取 设备信息 (0x0000 起 14 个寄存器)");
  EXPECT_EQ(first["direction"], "sent");
  EXPECT_EQ(first["kind"], "request");
  EXPECT_EQ(QDir(folder.path()).entryList(QDir::Files).size(), 2) << "no temporary file left";
  EXPECT_NE(log->ExportTo(folder.path().toStdString() + "/missing/log.csv"), "") << "a folder that is not there";

  // Copy as hex: the chosen rows' bytes.
  log->Table()->selectRow(0);
  log->CopyHex();
  EXPECT_EQ(QApplication::clipboard()->text(), QString::fromStdString(traffic::HexColumn(model.RecordAt(0)) + "\n"));
}

// A log that fills: the rows whose frames went leave from the top, also
// while paused; what is left reads as before, the count says what went,
// and the export takes the rows still held.
TEST_F(MainDlgTest, TrafficLogOverAFullLogDropsItsOldestRows) {
  Click(ids::OpenPortButton);
  auto small = std::make_shared<FrameLog>(10, 4096);
  dlg->m_link.AttachFrameLog(small);
  CTrafficDlg log(*dlg, small);
  log.show();
  const CTrafficModel& model = log.Model();
  const auto readInfo = [&](int times) {
    const uint64_t frames = small->LastSequence() + 2 * static_cast<uint64_t>(times);
    for (int i = 0; i < times; ++i) Click(ids::ReadInfoButton);
    ASSERT_TRUE(WaitFor([&] { return small->LastSequence() == frames; }));
    log.Refresh();
  };
  readInfo(3);
  ASSERT_EQ(model.rowCount(), 6);

  log.SetPaused(true);
  readInfo(4);  // frames 1 to 14; the log keeps 5 to 14
  ASSERT_EQ(model.rowCount(), 2) << "the rows of frames 5 and 6 stay; nothing new shows";
  EXPECT_EQ(model.RecordAt(0).sequence, 5u);
  EXPECT_EQ(model.data(model.index(0, CTrafficModel::Meaning), Qt::DisplayRole).toString(),
            QString::fromUtf8("读取 设备信息 (0x0000 起 14 个寄存器)"));
  EXPECT_EQ(log.CountsText(), QString::fromUtf8("记录 10 帧 (最多 10), 显示 2 帧, 较早的 4 帧已舍弃, 已暂停显示 (记录继续)"));

  log.SetPaused(false);
  ASSERT_EQ(model.rowCount(), 10);
  for (int row = 0; row < model.rowCount(); ++row) {
    const traffic::Record record = model.RecordAt(row);
    EXPECT_EQ(record.sequence, 5u + static_cast<uint64_t>(row));
    EXPECT_EQ(record.direction, row % 2 ? traffic::Direction::Received : traffic::Direction::Sent);
  }
  EXPECT_NE(model.RecordAt(9).meaning.find("设备型号=KVB-4815-RS485-S"), std::string::npos);
  EXPECT_EQ(log.CountsText(), QString::fromUtf8("记录 10 帧 (最多 10), 显示 10 帧, 较早的 4 帧已舍弃"));

  QTemporaryDir folder;
  const std::string csv = QDir(folder.path()).filePath("log.csv").toStdString();
  readInfo(1);  // 15 and 16 in, 5 and 6 out
  ASSERT_EQ(log.ExportTo(csv), "");
  const std::vector<std::string> rows = Lines(csv);
  ASSERT_EQ(rows.size(), 11u);
  EXPECT_NE(rows[2].find("设备型号=KVB-4815-RS485-S"), std::string::npos) << rows[2];
}

// While the poll goes on: the bytes show at the default size, a chosen row
// stays in view, the count goes on under "暂停显示", Ctrl+C copies the
// chosen rows, and the export says where it went in a box and starts next
// time in the folder it went to.
TEST_F(MainDlgTest, TrafficLogWhileLiveKeepsTheChosenRowsAndCounts) {
  OpenAndPoll();
  ChooseMenuItem(CMainDlg::Menu::Tools, QString::fromUtf8("通讯记录(&L)"));
  CTrafficDlg* log = dlg->TrafficWindow();
  const CTrafficModel& model = log->Model();
  QTableView* table = log->Table();
  QHeaderView* header = table->horizontalHeader();
  const int bytesWidth = table->fontMetrics().horizontalAdvance(QStringLiteral("00 00 00 00 00 00 00 00"));
  EXPECT_LE(header->sectionViewportPosition(CTrafficModel::Bytes) + bytesWidth, table->viewport()->width())
      << "a request's bytes within the window";

  const auto visible = [&](int row) {
    return table->viewport()->rect().intersects(table->visualRect(model.index(row, 0)));
  };
  ASSERT_TRUE(WaitFor([&] { return model.rowCount() >= 60; }));
  EXPECT_TRUE(visible(model.rowCount() - 1)) << "nothing chosen at the bottom: it follows";
  const int chosen = table->rowAt(table->viewport()->height() / 2);
  ASSERT_GE(chosen, 0);
  const uint64_t sequence = model.RecordAt(chosen).sequence;
  table->selectRow(chosen);
  const int rows = model.rowCount();
  ASSERT_TRUE(WaitFor([&] { return model.rowCount() >= rows + 40; }));
  EXPECT_TRUE(visible(chosen)) << "the chosen row stays in view";
  EXPECT_EQ(model.RecordAt(table->selectionModel()->selectedRows().front().row()).sequence, sequence);

  // Ctrl+C: the chosen rows as text, a tab between cells.
  table->selectionModel()->select(model.index(chosen + 1, 0),
                                  QItemSelectionModel::Select | QItemSelectionModel::Rows);
  table->setFocus();
  QTest::keyClick(table, Qt::Key_C, Qt::ControlModifier);
  const QStringList copied = QApplication::clipboard()->text().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
  ASSERT_EQ(copied.size(), 2);
  const QStringList cells = copied[1].split(QLatin1Char('\t'));
  ASSERT_EQ(cells.size(), CTrafficModel::ColumnCount);
  EXPECT_EQ(cells[CTrafficModel::Bytes].toStdString(), traffic::HexColumn(model.RecordAt(chosen + 1)));

  // Paused, the count goes on; the rows shown do not.
  log->SetPaused(true);
  const int shown = model.rowCount();
  const QString before = log->CountsText();
  ASSERT_TRUE(WaitFor([&] { return log->CountsText() != before; })) << before.toStdString();
  EXPECT_TRUE(log->CountsText().startsWith(QString::fromUtf8("记录 ")));
  EXPECT_EQ(model.rowCount(), shown);
  log->SetPaused(false);

  QTemporaryDir folder;
  std::vector<std::string> offered;
  const ui::FileChooser previous = ui::SetFileChooser([&](QWidget*, ui::FileDialog kind, const std::string& suggested) {
    EXPECT_EQ(kind, ui::FileDialog::ExportTraffic);
    offered.push_back(suggested);
    return QDir(folder.path()).filePath(QStringLiteral("log%1.jsonl").arg(offered.size())).toStdString();
  });
  for (int i = 0; i < 2; ++i) QTest::mouseClick(log->findChild<QPushButton*>(QStringLiteral("exportLog")), Qt::LeftButton);
  ui::SetFileChooser(previous);
  ASSERT_EQ(offered.size(), 2u);
  EXPECT_EQ(QFileInfo(QString::fromStdString(offered[0])).absolutePath(), QDir::homePath());
  EXPECT_EQ(QFileInfo(QString::fromStdString(offered[1])).absolutePath(), folder.path()) << "the last folder used";
  ASSERT_EQ(boxes.Texts().size(), 2u);
  EXPECT_TRUE(boxes.Texts()[1].startsWith(QString::fromUtf8("已导出 "))) << boxes.Texts()[1].toStdString();
  EXPECT_TRUE(boxes.Texts()[1].endsWith(QStringLiteral("log2.jsonl")));
}

}  // namespace
