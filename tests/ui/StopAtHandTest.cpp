// The stop is never out of reach in the real window: F9 stops the motor
// from every kind of modal window; a scan gives the port back for a stop
// and when it ends; leaving with the motor running asks first.
#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>

#include "WindowPageTest.h"
#include "ui/AboutDlg.h"
#include "ui/CompareDlg.h"
#include "ui/FileDialogs.h"
#include "ui/ScanDlg.h"
#include "ui/Text.h"
#include "ui/forms/MotorControlForm.h"

namespace {

namespace mc = forms::motorcontrol;

constexpr uint16_t FreeStop = 2;
constexpr unsigned AboutCommand = 0x0010;

class StopAtHand : public WindowPageTest<CMotorControlPage> {
 protected:
  StopAtHand() : WindowPageTest(sim::DriverOptions{.learned = true}) {}

  void SetUp() override {
    WindowPageTest::SetUp();
    previousChooser_ = ui::SetFileChooser({});
    OpenPort();
    On<QRadioButton>(mc::id::FreeStop)->click();
  }
  void TearDown() override {
    ui::SetFileChooser(std::move(previousChooser_));
    WindowPageTest::TearDown();
  }

  void OpenPort() {
    Click(ids::OpenPortButton);
    ASSERT_TRUE(dlg->m_link.IsOpen());
  }
  // Runs the motor at 50 % duty, the stop register cleared.
  void RunMotor() {
    line.Driver().SetRegister(RegisterMap::StopCommand, 0);
    ASSERT_EQ(dlg->m_link.WriteSpeedCommand(dlg->m_address, 500, 0), ResultSuccess);
    ASSERT_TRUE(WaitFor([&] { return line.Driver().Register(0x0020) != 0; })) << "the motor runs";
  }
  // The output, or the speed of a motor still turning down.
  bool Running() {
    const uint16_t speed = line.Driver().Register(0x0034);
    return line.Driver().Register(0x0020) != 0 || (speed != 0 && speed != 0xFFFF);
  }
  uint16_t StopRegister() { return line.Driver().Register(RegisterMap::StopCommand); }

  // Starts a scan of every address at the panel's settings: long enough to
  // be in progress for the rest of the test.
  CScanDlg* StartLongScan() {
    CScanDlg* scan = dlg->ScanWindow();
    scan->show();
    scan->findChildren<QSpinBox*>()[0]->setValue(1);
    scan->findChildren<QSpinBox*>()[1]->setValue(128);
    scan->StartScan();
    EXPECT_TRUE(scan->Scanning());
    return scan;
  }

 private:
  ui::FileChooser previousChooser_;
};

template <class Window>
bool Is(QWidget* window) {
  return dynamic_cast<Window*>(window) != nullptr;
}

// Each kind of modal window the tool opens, in front while F9 is pressed
// into whichever of its controls has the keyboard: the stop is on the wire
// before the window closes.
TEST_F(StopAtHand, F9StopsFromEveryKindOfModalWindow) {
  const std::string file = dataHome.Path() + "/driver.json";
  struct Case {
    const char* name;
    std::function<void()> open;  // returns once the window has closed, or at once
    bool (*isKind)(QWidget*);
  };
  const Case cases[] = {
      {"载入参数 file dialog", [&] { dlg->ParamFiles().Load(); }, &Is<QFileDialog>},
      {"message box", [&] {
         const ui::MessageBoxHandler recorder = ui::SetMessageBoxHandler({});
         ui::ShowMessage(dlg.get(), std::string("输入超出范围"));
         ui::SetMessageBoxHandler(recorder);
       }, &Is<QMessageBox>},
      {"保存参数 progress on a slow driver", [&] {
         ui::SetFileChooser([&](QWidget*, ui::FileDialog, const std::string&) { return file; });
         line.Driver().SetFault(sim::Fault::Delayed(std::chrono::milliseconds(200)));
         dlg->ParamFiles().Save();
       }, &Is<QProgressDialog>},
      {"comparison", [&] { dlg->ParamFiles().Load(); }, &Is<CCompareDlg>},
      {"about box", [&] { dlg->OnSysCommand(AboutCommand, 0); }, &Is<CAboutDlg>},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.isKind == &Is<CCompareDlg>) {  // a file saved, then the driver changed
      line.Driver().SetFault({});
      dlg->ParamFiles().Save();
      ASSERT_TRUE(WaitFor([&] { return !dlg->ParamFiles().Jobs().Running(); }));
      line.Driver().SetRegister(0x0052, 1234);
    }
    RunMotor();
    bool pressed = false;
    uint16_t stopSeen = 0;
    // Runs in the window's own event loop, the modal one where there is one.
    QTimer::singleShot(0, [&] {
      QWidget* front = nullptr;
      pressed = WaitFor([&] {
        front = QApplication::activeModalWidget();
        return front != nullptr && c.isKind(front) && front->isVisible();
      });
      if (!pressed) return;
      QTest::keyClick(front->focusWidget() != nullptr ? front->focusWidget() : front, Qt::Key_F9);
      stopSeen = StopRegister();
      front->close();
    });
    c.open();
    ASSERT_TRUE(WaitFor([&] { return pressed; }));
    EXPECT_EQ(stopSeen, FreeStop) << "the stop with the mode chosen on 电机控制";
    ASSERT_TRUE(WaitFor([&] { return QApplication::activeModalWidget() == nullptr && !dlg->ParamFiles().Jobs().Running(); }));
  }
  EXPECT_EQ(boxes.Texts(), std::vector<QString>{ToQString("参数已保存到 " + file)}) << "no stop failed";
}

// A scan lends the port: "打开串口" says so, F9 ends the scan and stops the
// motor on the port as it was, and the port comes back polling after a
// cancel; a port closed before the scan is closed again after its stop.
TEST_F(StopAtHand, AScanGivesThePortBackForTheStopAndWhenItEnds) {
  Click(ids::AutoUpdate);
  RunMotor();
  CScanDlg* scan = StartLongScan();
  EXPECT_FALSE(dlg->m_link.IsOpen()) << "the scan has the port";
  Click(ids::OpenPortButton);
  EXPECT_EQ(boxes.Texts(), std::vector<QString>{"扫描正在使用串口。请等扫描结束, 或先取消扫描。"});
  EXPECT_FALSE(dlg->m_link.IsOpen());

  scan->CancelScan();
  ASSERT_TRUE(WaitFor([&] { return !scan->Scanning(); }));
  ASSERT_TRUE(dlg->m_link.IsOpen()) << "back as the scan found it";
  EXPECT_EQ(Text(ids::OpenPortButton), QString::fromUtf8("关闭串口"));
  const uint64_t requests = line.Driver().RequestCount();
  EXPECT_TRUE(WaitFor([&] { return line.Driver().RequestCount() >= requests + 2; })) << "自动更新 polls again";

  for (const bool openBefore : {true, false}) {
    SCOPED_TRACE(openBefore ? "port open before" : "port closed before");
    if (!openBefore) Click(ids::OpenPortButton);  // closes it
    line.Driver().SetRegister(RegisterMap::StopCommand, 0);
    StartLongScan();
    scan->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(scan));
    QTest::keyClick(scan, Qt::Key_F9);
    EXPECT_EQ(StopRegister(), FreeStop);
    EXPECT_EQ(dlg->m_link.IsOpen(), openBefore);
    ASSERT_TRUE(WaitFor([&] { return !scan->Scanning(); }));
    EXPECT_EQ(dlg->m_link.IsOpen(), openBefore);
  }
  EXPECT_EQ(boxes.Texts().size(), 1u);
}

// "文件" → "退出", Esc and the window's close, with the motor running.
TEST_F(StopAtHand, LeavingWithTheMotorRunningAsks) {
  enum Answer : size_t { StopAndLeave, LeaveRunning, Stay };
  const std::function<void()> ways[] = {
      [&] { ChooseMenuItem(CMainDlg::Menu::File, QString::fromUtf8("退出(&X)")); },
      [&] { QTest::keyClick(dlg.get(), Qt::Key_Escape); },
      [&] { dlg->close(); },
  };
  RunMotor();
  boxes.AnswerChoices(Stay);
  for (const auto& leave : ways) leave();
  ASSERT_EQ(boxes.Choices().size(), 3u);
  EXPECT_EQ(boxes.Choices()[0], "电机正在运行。退出前是否停止电机?");
  EXPECT_TRUE(dlg->isVisible()) << "stayed each time";
  EXPECT_TRUE(Running());

  boxes.AnswerChoices(LeaveRunning);
  ways[1]();
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_TRUE(Running()) << "left running on purpose";

  dlg = std::make_unique<CMainDlg>();
  dlg->show();
  FindPage();
  OpenPort();
  On<QRadioButton>(mc::id::FreeStop)->click();
  boxes.AnswerChoices(StopAndLeave);
  ways[2]();
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(StopRegister(), FreeStop) << "stopped before leaving";

  // Stopped: the window closes as it always did; Esc that closes a
  // drop-down only closes the drop-down.
  dlg = std::make_unique<CMainDlg>();
  dlg->show();
  dlg->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(dlg.get()));
  OpenPort();
  ASSERT_TRUE(WaitFor([&] { return !Running(); }, 15000)) << "the motor has come to rest";
  auto* baud = Get<QComboBox>(ids::BaudCombo);
  baud->showPopup();
  ASSERT_TRUE(WaitFor([&] { return QApplication::activePopupWidget() != nullptr; }));
  QTest::keyClick(QApplication::activePopupWidget(), Qt::Key_Escape);
  EXPECT_TRUE(WaitFor([&] { return QApplication::activePopupWidget() == nullptr; }));
  EXPECT_TRUE(dlg->isVisible());
  QTest::keyClick(dlg.get(), Qt::Key_Escape);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(boxes.Choices().size(), 5u) << "not asked with the motor stopped";
}

}  // namespace
