// The stop that is always at hand: F9 sends the stop command with the mode
// chosen on "电机控制", whichever tab or window has the keyboard; Esc still
// closes the window.
#include <QAction>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QRadioButton>
#include <QTabBar>

#include "WindowPageTest.h"
#include "ui/PidParamPage.h"
#include "ui/TabCtrl.h"
#include "ui/PlotWindow.h"
#include "ui/TrafficDlg.h"
#include "ui/forms/MotorControlForm.h"

namespace {

namespace mc = forms::motorcontrol;

class StopShortcutTest : public WindowPageTest<CMotorControlPage> {
 protected:
  StopShortcutTest() : WindowPageTest(sim::DriverOptions{.learned = true}) {}

  void SetUp() override {
    WindowPageTest::SetUp();
    Click(ids::OpenPortButton);
    ASSERT_TRUE(dlg->m_link.IsOpen());
    dlg->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
  }

  // Runs the motor at 20 % duty, so that a stop has something to stop.
  void RunMotor() {
    ASSERT_EQ(dlg->m_link.WriteSpeedCommand(dlg->m_address, 200, 0), ResultSuccess);
    ASSERT_TRUE(WaitFor([&] { return line.Driver().Register(0x0020) != 0; })) << "the motor runs";
  }
  uint16_t StopRegister() { return line.Driver().Register(RegisterMap::StopCommand); }
};

TEST_F(StopShortcutTest, F9StopsFromThePidTabWithTheModeChosenOnMotorControl) {
  On<QRadioButton>(mc::id::FreeStop)->click();
  auto* tabs = dlg->TabControl()->findChild<QTabBar*>();
  ASSERT_NE(tabs, nullptr);
  QTest::mouseClick(tabs, Qt::LeftButton, {}, tabs->tabRect(3).center());
  RunMotor();

  // The keyboard is in an edit of the "PID参数" page.
  CPidParamPage* pid = nullptr;
  for (CTabPage* tab : dlg->Pages()) {
    if (auto* found = dynamic_cast<CPidParamPage*>(tab)) pid = found;
  }
  ASSERT_NE(pid, nullptr);
  ASSERT_TRUE(pid->isVisible());
  auto* edit = pid->findChild<QLineEdit*>();
  ASSERT_NE(edit, nullptr);
  edit->setFocus();
  QTest::keyClick(edit, Qt::Key_F9);

  const std::vector<uint8_t> sent = dlg->m_link.LastSentFrame();
  ASSERT_EQ(sent.size(), 8u);
  EXPECT_EQ((std::vector<uint8_t>(sent.begin(), sent.begin() + 6)), (std::vector<uint8_t>{1, 0x06, 0x00, 0x40, 0, 2}))
      << "the stop command with the free stop";
  EXPECT_EQ(StopRegister(), 2);
  EXPECT_TRUE(boxes.Boxes().empty());
  EXPECT_NE(On<QWidget>(mc::id::Stop)->toolTip().indexOf("F9"), -1) << "the stop button names its shortcut";

  // Esc still closes the window: once the coasting motor stands, it asks
  // nothing (how far it has turned meanwhile depends on the machine's load).
  ASSERT_TRUE(WaitFor(
      [&] {
        StatusBlock status{};
        return dlg->m_link.ReadStatus(dlg->m_address, status) == ResultSuccess && status.outputPwm == 0 &&
               (status.motorSpeed == 0 || status.motorSpeed == 0xFFFF);
      },
      15000))
      << "the motor coasts to a stand";
  QTest::keyClick(edit, Qt::Key_Escape);
  EXPECT_FALSE(dlg->isVisible());
}

// Another window of the tool has the keyboard, "通讯记录" or "实时曲线":
// F9 stops from there, and so does the window's own stop button.
TEST_F(StopShortcutTest, F9AndTheStopButtonStopFromTheLogAndPlotWindows) {
  On<QRadioButton>(mc::id::EmergencyStop)->click();
  const std::vector<uint8_t> emergency = {1, 0x06, 0x00, 0x40, 0, 1};
  const auto lastSent = [&] {
    const std::vector<uint8_t> sent = dlg->m_link.LastSentFrame();
    return std::vector<uint8_t>(sent.begin(), sent.begin() + std::min<size_t>(sent.size(), 6));
  };
  for (const char* name : {"通讯记录", "实时曲线"}) {
    QWidget* window = nullptr;
    QWidget* keyboard = nullptr;
    if (std::string_view(name) == "通讯记录") {
      CTrafficDlg* log = dlg->TrafficWindow();
      window = log;
      keyboard = log->Table();
      log->show();
    } else {
      for (QAction* item : dlg->MenuOf(CMainDlg::Menu::Tools)->actions()) {
        if (item->text().contains(QString::fromUtf8(name))) item->trigger();
      }
      window = keyboard = dlg->PlotWindow();
    }
    ASSERT_NE(window, nullptr) << name;
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window)) << name;

    RunMotor();
    QTest::keyClick(keyboard, Qt::Key_F9);
    EXPECT_EQ(lastSent(), emergency) << name;

    RunMotor();
    QPushButton* stop = nullptr;
    for (QPushButton* button : window->findChildren<QPushButton*>()) {
      if (button->text() == QString::fromUtf8("停止电机")) stop = button;
    }
    ASSERT_NE(stop, nullptr) << name;
    EXPECT_NE(stop->toolTip().indexOf("F9"), -1) << name;
    QTest::mouseClick(stop, Qt::LeftButton);
    EXPECT_EQ(lastSent(), emergency) << name;
    EXPECT_EQ(StopRegister(), 1) << name;
    EXPECT_TRUE(boxes.Boxes().empty()) << name;
  }

  CTrafficDlg* log = dlg->TrafficWindow();
  log->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(log));
  QTest::keyClick(log->Table(), Qt::Key_Escape);
  EXPECT_FALSE(log->isVisible()) << "Esc closes the log window";
  EXPECT_TRUE(dlg->isVisible()) << "and only it";
}

TEST_F(StopShortcutTest, AStopThatFailsSaysWhy) {
  line.Driver().SetFault(sim::Fault::Of(sim::FaultKind::NoAnswer));
  dlg->StopMotor();
  EXPECT_EQ(boxes.Texts(), std::vector<QString>{"通讯超时"});
}

}  // namespace
