// "总线总览" in the real window against three simulated drivers on one line:
// the rows fill with each driver's identity and live values while the main
// window polls its own, a driver that falls silent shows it while the others
// go on, a double-click moves the main window's address, and "全部停止" and
// F9 reach every listed driver on the wire; the rows chosen are saved one
// file each, one file is loaded onto them all, and rows are removed.
#include <QCheckBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>
#include <regex>

#include "MainDlgFixture.h"
#include "sim/SlaveServer.h"
#include "ui/BusOverviewDlg.h"
#include "ui/FileDialogs.h"
#include "ui/ScanDlg.h"
#include "ui/Text.h"

namespace {

constexpr uint8_t kAddresses[] = {1, 2, 5};
enum Column { Address, Identity, Model, Version, Pwm, Speed, Current, Error, Age, Result, Rate, Stop };

// Three drivers on COM2, each its own model, and the stops each one heard.
class BusOverviewTest : public MainDlgTest {
 protected:
  BusOverviewTest() {
    std::vector<sim::Station> stations;
    for (size_t i = 0; i < std::size(kAddresses); ++i) {
      drivers[i] = std::make_unique<sim::SimulatedDriver>(
          sim::DriverOptions{.address = kAddresses[i], .model = "AXIS-" + std::to_string(kAddresses[i])});
      stations.push_back({drivers[i].get()});
    }
    server = std::make_unique<sim::SlaveServer>(
        stations, bus.Master(), sim::LineOptions{}, [this](const std::vector<uint8_t>& request, const sim::Reply&) {
          if (request.size() >= 4 && request[1] == 0x06 && request[2] == 0x00 && request[3] == 0x40) {
            std::lock_guard lock(mutex);
            ++stopsHeard[request[0]];
          }
        });
    line.Ports().Map(2, bus.SlavePath());
  }
  ~BusOverviewTest() override {
    dlg.reset();
    server.reset();
  }

  unsigned StopsHeard(uint8_t address) {
    std::lock_guard lock(mutex);
    return stopsHeard[address];
  }
  QString Cell(int row, int column) {
    QTableWidgetItem* item = overview->Table()->item(row, column);
    return item != nullptr ? item->text() : QString();
  }
  void Press(const char* text) {
    for (QPushButton* button : overview->findChildren<QPushButton*>()) {
      if (button->text() == QString::fromUtf8(text)) return QTest::mouseClick(button, Qt::LeftButton);
    }
    ADD_FAILURE() << "no button " << text;
  }

  PtyPair bus;
  std::unique_ptr<sim::SimulatedDriver> drivers[std::size(kAddresses)];
  std::unique_ptr<sim::SlaveServer> server;
  std::mutex mutex;
  std::map<uint8_t, unsigned> stopsHeard;
  CBusOverviewDlg* overview = nullptr;
};

TEST_F(BusOverviewTest, WatchesThreeDriversBesideTheWindowsOwnPollAndStopsThemAll) {
  Select(ids::PortCombo, 1);
  Click(ids::FirstAddressSwitch);  // the window's own driver: address 1
  OpenAndPoll();
  ChooseMenuItem(CMainDlg::Menu::Tools, QString::fromUtf8("总线总览(&B)"));
  overview = dlg->BusOverviewWindow();
  ASSERT_TRUE(overview->isVisible());
  auto* address = overview->findChild<QSpinBox*>();
  for (uint8_t a : kAddresses) {
    address->setValue(a);
    Press("添加");
  }
  ASSERT_EQ(overview->Table()->rowCount(), 3);

  // Identity and live values per row, from its own driver.
  ASSERT_TRUE(WaitFor([&] {
    for (int row = 0; row < 3; ++row) {
      if (Cell(row, Model).isEmpty() || Cell(row, Pwm).isEmpty() || Cell(row, Rate) == "0.0") return false;
    }
    return true;
  }));
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(Cell(row, Address), QString::number(kAddresses[row]));
    EXPECT_EQ(Cell(row, Model), QString("AXIS-%1").arg(kAddresses[row]));
    EXPECT_EQ(Cell(row, Speed), "0RPM") << row;
    EXPECT_TRUE(Cell(row, Age).endsWith(QString::fromUtf8("秒前"))) << Cell(row, Age).toStdString();
  }

  // Address 5 falls silent: its age grows and its row says why, while the
  // other two and the window's own poll keep being answered.
  drivers[2]->SetFault(sim::Fault::Of(sim::FaultKind::NoAnswer));
  const QString timeout = ToQString(ResultText(ResultTimeout));
  ASSERT_TRUE(WaitFor([&] { return Cell(2, Result) == timeout; }));
  const uint64_t before[] = {drivers[0]->RequestCount(), drivers[1]->RequestCount()};
  ASSERT_TRUE(WaitFor([&] { return Cell(2, Age).left(3).toDouble() >= 1.5; }, 8000))
      << Cell(2, Age).toStdString();
  EXPECT_GE(drivers[0]->RequestCount(), before[0] + 5);
  EXPECT_GE(drivers[1]->RequestCount(), before[1] + 5);
  for (int row = 0; row < 2; ++row) {
    EXPECT_LT(Cell(row, Age).left(3).toDouble(), 1.0) << Cell(row, Age).toStdString();
    EXPECT_NE(Cell(row, Result), timeout);
  }

  // A double-click makes address 2 the window's.
  const QRect cell = overview->Table()->visualItemRect(overview->Table()->item(1, Address));
  QTest::mouseDClick(overview->Table()->viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_EQ(dlg->m_address, 2);

  // "全部停止": a stop to each, and the silent one named.
  Press("全部停止");
  for (uint8_t a : kAddresses) EXPECT_EQ(StopsHeard(a), 1u) << int(a);
  EXPECT_EQ(Cell(2, Stop), timeout);
  EXPECT_EQ(Cell(0, Stop), ToQString(ResultText(ResultSuccess)));
  const QString said = overview->findChildren<QLabel*>().back()->text();
  EXPECT_TRUE(said.contains(QString::fromUtf8("已停止: 1, 2")) && said.contains(QString::fromUtf8("未应答: 5")))
      << said.toStdString();

  // F9 with the overview in front stops all of them, not only the window's.
  drivers[2]->ClearFault();
  overview->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(overview));
  QTest::keyClick(overview->Table(), Qt::Key_F9);
  for (uint8_t a : kAddresses) EXPECT_EQ(StopsHeard(a), 2u) << int(a);
  EXPECT_TRUE(boxes.Boxes().empty());
}

// Three drivers chosen: "保存参数" writes one file each into the folder
// chosen; "载入参数" of the first one's file, with the second driver taking
// no writes, backs each up and writes it, names the second as failed and
// leaves every driver its own phase order. "移除" drops the rows chosen;
// "扫描..." takes them back from the scan.
TEST_F(BusOverviewTest, SavesAndLoadsTheChosenDriversOneByOneAndRemovesRows) {
  const std::string folder = dataHome.Path() + "/line";
  std::filesystem::create_directory(folder);
  std::string loaded;
  const ui::FileChooser previous = ui::SetFileChooser(
      [&](QWidget*, ui::FileDialog dialog, const std::string&) { return dialog == ui::FileDialog::Folder ? folder : loaded; });
  Select(ids::PortCombo, 1);
  Click(ids::FirstAddressSwitch);
  OpenAndPoll();
  ChooseMenuItem(CMainDlg::Menu::Tools, QString::fromUtf8("总线总览(&B)"));
  overview = dlg->BusOverviewWindow();
  auto* address = overview->findChild<QSpinBox*>();
  for (uint8_t a : kAddresses) {
    address->setValue(a);
    Press("添加");
  }
  // Each driver's motor learned its own phase order.
  for (size_t d = 0; d < std::size(drivers); ++d) {
    for (uint16_t i = 0; i < 3; ++i) drivers[d]->SetRegister(0x006D + i, static_cast<uint16_t>(0x0100 * (d + 1) + i));
    drivers[d]->SetRegister(0x0075, 1);
  }
  const auto finished = [&] { return WaitFor([&] { return !overview->Params().Jobs().Running(); }, 15000); };

  overview->Table()->selectAll();
  Press("保存参数");
  ASSERT_TRUE(finished());
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  ASSERT_EQ(names.size(), 3u);
  for (size_t d = 0; d < names.size(); ++d) {
    const std::string n = std::to_string(kAddresses[d]);
    EXPECT_TRUE(std::regex_match(names[d], std::regex("addr00" + n + "-AXIS-" + n + "-[0-9]{8}-[0-9]{6}\\.json")))
        << names[d];
  }
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_TRUE(boxes.Boxes()[0].text.contains(QString::fromUtf8("已保存 3 台设备的参数"))) << boxes.Boxes()[0].text.toStdString();

  // Every driver's acceleration moved away from the file's; the second
  // answers writes without storing them.
  const uint16_t acceleration = drivers[0]->Register(0x0052);
  for (auto& driver : drivers) driver->SetRegister(0x0052, 1234);
  drivers[1]->SetFault(sim::Fault::Of(sim::FaultKind::IgnoreWrites));
  loaded = folder + "/" + names[0];
  boxes.AnswerQuestions(true);
  Press("载入参数");
  ASSERT_TRUE(finished());
  CBusLoadDlg* load = overview->Params().LoadWindow();
  ASSERT_NE(load, nullptr);
  QTableWidget* table = load->Table();
  ASSERT_EQ(table->rowCount(), 3);
  const auto cell = [&](int row, int column) { return table->item(row, column)->text(); };
  for (int row = 0; row < 3; ++row) {
    EXPECT_EQ(cell(row, CBusLoadDlg::Model), QString("AXIS-%1").arg(kAddresses[row]));
    EXPECT_EQ(cell(row, CBusLoadDlg::Differences), "1") << "the acceleration; the phase order stays unless ticked";
  }
  EXPECT_FALSE(load->LearningBox()->isChecked());
  QTest::mouseClick(load->WriteButton(), Qt::LeftButton);
  ASSERT_TRUE(finished());
  ASSERT_EQ(boxes.Questions().size(), 1u);
  EXPECT_TRUE(boxes.Questions()[0].contains(QString::fromUtf8("地址 2, 5"))) << boxes.Questions()[0].toStdString();
  EXPECT_EQ(cell(0, CBusLoadDlg::Outcome), QString::fromUtf8("完成"));
  EXPECT_EQ(cell(1, CBusLoadDlg::Outcome), QString::fromUtf8("失败: 1 个参数读回与写入不同: 加速加速度"));
  EXPECT_EQ(cell(2, CBusLoadDlg::Outcome), QString::fromUtf8("完成"));
  for (int row = 0; row < 3; ++row) {
    EXPECT_TRUE(std::filesystem::exists(ToStdString(cell(row, CBusLoadDlg::Backup)))) << row;
  }
  EXPECT_EQ(drivers[0]->Register(0x0052), acceleration);
  EXPECT_EQ(drivers[1]->Register(0x0052), 1234);
  EXPECT_EQ(drivers[2]->Register(0x0052), acceleration);
  for (size_t d = 0; d < std::size(drivers); ++d) {
    EXPECT_EQ(drivers[d]->Register(0x006D), 0x0100 * (d + 1)) << "driver " << d << " keeps its own phase order";
  }
  EXPECT_TRUE(load->WriteButton()->isEnabled()) << "the failed one may be tried again";
  load->close();

  overview->Table()->selectRow(1);
  Press("移除");
  EXPECT_EQ(dlg->BusWatch().Addresses(), (std::vector<uint8_t>{1, 5}));
  EXPECT_EQ(overview->Table()->rowCount(), 2);

  // "扫描..." brings the scan window; what its scan identifies comes back.
  Press("扫描...");
  CScanDlg* scan = dlg->ScanWindow();
  ASSERT_TRUE(scan->isVisible());
  const auto range = scan->findChildren<QSpinBox*>();
  range[0]->setValue(1);
  range[1]->setValue(6);
  scan->StartScan();
  ASSERT_TRUE(WaitFor([&] { return !scan->Scanning(); }, 30000));
  EXPECT_EQ(dlg->BusWatch().Addresses(), (std::vector<uint8_t>{1, 5, 2}));
  ui::SetFileChooser(previous);
}

}  // namespace
