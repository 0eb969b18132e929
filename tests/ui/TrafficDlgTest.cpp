// "通讯记录" in the real window: what the pages and the status poll send and
// get back, decoded; pause with the recording going on; filters; export as
// CSV and JSON Lines; copy as hex.
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QTableView>
#include <QTemporaryDir>
#include <fstream>

#include "MainDlgFixture.h"
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

}  // namespace
