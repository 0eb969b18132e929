// "总线总览" in the real window against three simulated drivers on one line:
// the rows fill with each driver's identity and live values while the main
// window polls its own, a driver that falls silent shows it while the others
// go on, a double-click moves the main window's address, and "全部停止" and
// F9 reach every listed driver on the wire.
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <map>
#include <mutex>

#include "MainDlgFixture.h"
#include "sim/SlaveServer.h"
#include "ui/BusOverviewDlg.h"
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

}  // namespace
