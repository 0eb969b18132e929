// "扫描设备..." in the real window: a driver at an address and rate nobody
// wrote down is found, and one double-click sets the connection panel to it
// and opens the port.
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTableWidget>

#include "MainDlgFixture.h"
#include "ui/ScanDlg.h"
#include "ui/TrafficDlg.h"

namespace {

class ScanDlgTest : public MainDlgTest {
 protected:
  ScanDlgTest()
      : MainDlgTest(sim::DriverOptions{.address = 77},
                    sim::LineOptions{.settings = {19200, Parity::Even}, .hearOwnSettingsOnly = true}) {}
};

TEST_F(ScanDlgTest, FindsTheDriverAndConnectsToItWithOneDoubleClick) {
  Click(ids::OpenPortButton);  // at 9600: the driver does not hear it
  ChooseMenuItem(CMainDlg::Menu::Tools, QString::fromUtf8("扫描设备(&S)..."));
  CScanDlg* scan = dlg->ScanWindow();
  ASSERT_TRUE(scan->isVisible());
  const auto addresses = scan->findChildren<QSpinBox*>();
  ASSERT_EQ(addresses.size(), 3) << "first, last, and the time-out";
  addresses[0]->setValue(76);
  addresses[1]->setValue(78);
  for (QRadioButton* radio : scan->findChildren<QRadioButton*>()) {
    if (radio->text().startsWith(QString::fromUtf8("全部"))) radio->click();
  }
  for (QPushButton* button : scan->findChildren<QPushButton*>()) {
    if (button->text() == QString::fromUtf8("开始扫描")) QTest::mouseClick(button, Qt::LeftButton);
  }
  EXPECT_FALSE(dlg->m_link.IsOpen()) << "the scan has the port";
  ASSERT_TRUE(WaitFor([&] { return !scan->Scanning(); }, 30000));

  auto* table = scan->findChild<QTableWidget*>();
  ASSERT_EQ(table->rowCount(), 1);
  EXPECT_EQ(table->item(0, 0)->text(), "77");
  EXPECT_EQ(table->item(0, 1)->text(), "19200");
  EXPECT_EQ(table->item(0, 2)->text(), QString::fromUtf8("偶+1停止位"));
  EXPECT_EQ(table->item(0, 4)->text(), "KVB-4815-RS485-S");

  const QRect cell = table->visualItemRect(table->item(0, 0));
  QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, cell.center());
  QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, cell.center());
  EXPECT_FALSE(scan->isVisible());
  ASSERT_TRUE(dlg->m_link.IsOpen());
  EXPECT_EQ(Text(ids::OpenPortButton), QString::fromUtf8("关闭串口"));
  EXPECT_EQ(dlg->m_address, 77);
  EXPECT_EQ(Get<QComboBox>(ids::BaudCombo)->currentText(), "19200");
  EXPECT_EQ(Get<QComboBox>(ids::ParityCombo)->currentIndex(), 2);
  Click(ids::ReadInfoButton);
  EXPECT_EQ(Text(ids::Model), "KVB-4815-RS485-S") << "the driver answers the window now";
  EXPECT_TRUE(boxes.Boxes().empty());

  // The scan's frames are in "通讯记录" with the window's own.
  CTrafficDlg* log = dlg->TrafficWindow();
  log->Refresh();
  size_t scanTries = 0;
  for (int row = 0; row < log->Model().rowCount(); ++row) {
    if (log->Model().RecordAt(row).meaning.rfind("读取 设备信息", 0) == 0) ++scanTries;
  }
  EXPECT_EQ(scanTries, 3u * 18u + 2u)
      << "every try of the scan, the longer wait that ends the pass that heard the driver, and the window's read";
}

// A driver that turns round in 150 ms on a line timed as a wire at 9600
// bit/s: found at its own address and said to be slow, or found in time
// once "每次等待应答" covers it.
class SlowDriverScanTest : public MainDlgTest {
 protected:
  SlowDriverScanTest() : MainDlgTest(sim::DriverOptions{.address = 2}, Wire()) {}
  static sim::LineOptions Wire() {
    sim::LineOptions line;
    line.wire = true;
    line.turnaround = std::chrono::milliseconds(150);
    return line;
  }
};

TEST_F(SlowDriverScanTest, FindsItSlowAtItsAddressOrInTimeWhenGivenLonger) {
  ChooseMenuItem(CMainDlg::Menu::Tools, QString::fromUtf8("扫描设备(&S)..."));
  CScanDlg* scan = dlg->ScanWindow();
  const auto spins = scan->findChildren<QSpinBox*>();
  ASSERT_EQ(spins.size(), 3);
  spins[0]->setValue(1);
  spins[1]->setValue(3);
  QSpinBox* timeout = spins[2];
  EXPECT_EQ(timeout->text(), QString::fromUtf8("自动"));
  const struct {
    int wait;
    bool slow;
  } cases[] = {{0, true}, {400, false}};
  for (const auto& c : cases) {
    timeout->setValue(c.wait);
    for (QPushButton* button : scan->findChildren<QPushButton*>()) {
      if (button->text() == QString::fromUtf8("开始扫描")) QTest::mouseClick(button, Qt::LeftButton);
    }
    ASSERT_TRUE(scan->Scanning());
    EXPECT_FALSE(timeout->isEnabled()) << "not changed while it scans";
    ASSERT_TRUE(WaitFor([&] { return !scan->Scanning(); }, 30000));
    auto* table = scan->findChild<QTableWidget*>();
    ASSERT_EQ(table->rowCount(), 1) << c.wait;
    EXPECT_EQ(table->item(0, 0)->text(), "2") << c.wait;
    EXPECT_EQ(table->item(0, 4)->text(), "KVB-4815-RS485-S") << c.wait;
    EXPECT_EQ(table->item(0, 6)->text().startsWith(QString::fromUtf8("应答慢")), c.slow)
        << c.wait << ": " << table->item(0, 6)->text().toStdString();
  }
}

}  // namespace
