// The tool windows follow a switch of language while they are open: what
// their tables built, what their windows wrote at run time (series, columns,
// status and progress lines) and the lists' items, into English and back.
#include <QCheckBox>
#include <QGroupBox>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableWidget>
#include <qcustomplot.h>

#include "MainDlgFixture.h"
#include "TextFit.h"
#include "lang/Texts.h"
#include "ui/LivePlot.h"
#include "ui/PlotWindow.h"
#include "ui/Retranslate.h"
#include "ui/ScanDlg.h"
#include "ui/TrafficDlg.h"

namespace {

// Chinese again whatever the test came to.
struct ChineseAfter {
  ~ChineseAfter() { lang::Use(lang::Language::Chinese); }
};

QString LabelOf(QWidget* window, QWidget* control) {
  for (QLabel* label : window->findChildren<QLabel*>()) {
    if (label->buddy() == control) return label->text();
  }
  return QStringLiteral("(no label)");
}

// The control of `window` that shows `chinese` now.
template <class T>
T* Showing(QWidget* window, const char* chinese) {
  for (T* control : window->findChildren<T*>()) {
    if (control->text() == QString::fromUtf8(chinese)) return control;
  }
  ADD_FAILURE() << "nothing shows " << chinese;
  return nullptr;
}

class ToolWindowsLanguageTest : public MainDlgTest {
 protected:
  // What the window's "语言 / Language" does: every text set again, and the
  // windows make theirs again.
  void Switch(lang::Language language) {
    ASSERT_EQ(lang::Use(language), "");
    ui::Retranslate(dlg.get());
    QEvent change(QEvent::LanguageChange);
    QCoreApplication::sendEvent(dlg.get(), &change);
  }
};

TEST_F(ToolWindowsLanguageTest, PlotScanAndLogWindowsSwitchToEnglishAndBack) {
  ChineseAfter chinese;
  Click(ids::OpenPortButton);
  ASSERT_TRUE(dlg->m_link.IsOpen());
  dlg->OnPlotWindow();
  CPlotWindow* plot = dlg->PlotWindow();
  CScanDlg* scan = dlg->ScanWindow();
  CTrafficDlg* log = dlg->TrafficWindow();
  scan->show();
  log->show();
  Click(ids::ReadInfoButton);
  ASSERT_TRUE(WaitFor([&] { return log->Model().rowCount() >= 2; }));
  // A status made at run time: a third unit is refused.
  plot->findChild<QCheckBox*>(QStringLiteral("outputPwm"))->click();
  // A mark made in Chinese reads in English after the switch.
  ASSERT_EQ(dlg->m_link.WriteStopCommand(dlg->m_address, 1), ResultSuccess);
  ASSERT_TRUE(WaitFor([&] {
    plot->Live()->Refresh();
    return plot->Live()->MarkCount() >= 1;
  }));
  log->SetPaused(true);

  auto* tabs = plot->findChild<QTabWidget*>();
  auto* scanTable = scan->findChild<QTableWidget*>();
  QSpinBox* firstAddress = scan->findChildren<QSpinBox*>().value(0);
  auto* startScan = Showing<QPushButton>(scan, "开始扫描");
  auto* scanProgress = Showing<QLabel>(scan, "尚未扫描");
  auto* resume = Showing<QPushButton>(log, "继续显示");
  ASSERT_TRUE(startScan && scanProgress && resume);
  const CTrafficModel& model = log->Model();
  struct Case {
    const char* control;
    std::function<QString()> shown;
    const char* chinese;
    const char* english;
  };
  const Case cases[] = {
      {"plot title", [&] { return plot->windowTitle(); }, "实时曲线 - KORVELT_Demo", "Live plot - KORVELT_Demo"},
      {"plot tab", [&] { return tabs->tabText(1); }, "阶跃对比", "Step comparison"},
      {"plot group", [&] { return qobject_cast<QGroupBox*>(plot->Button("startCapture")->parent())->title(); }, "高速采集", "Fast capture"},
      {"plot label", [&] { return LabelOf(plot, plot->Combo("windowLength")); }, "时间窗口:", "Time window:"},
      {"plot list item", [&] { return plot->Combo("windowLength")->itemText(2); }, "1 分钟", "1 min"},
      {"plot button", [&] { return plot->Button("startStep")->text(); }, "开始阶跃测试", "Start step test"},
      {"plot tooltip", [&] { return plot->Edit("captureSeconds")->toolTip(); }, "0 为直到停止", "0 runs until stopped"},
      {"plot series", [&] { return plot->findChild<QCheckBox*>(QStringLiteral("position"))->text(); }, "转动位置 [脉冲]",
       "Position [pulses]"},
      {"plot axis", [&] { return plot->Live()->Plot()->xAxis->label(); }, "打开串口以来的时间",
       "Time since the port was opened"},
      {"plot value axis", [&] { return plot->Live()->Plot()->yAxis2->label(); }, "电机转速 [RPM]", "Motor speed [RPM]"},
      {"plot status", [&] { return plot->StatusText(); }, "同时最多显示两种单位的曲线",
       "At most two units can be shown at once"},
      {"plot mark", [&] { return plot->Live()->MarkText(plot->Live()->MarkCount() - 1); }, "停止 紧急停止",
       "Stop: Emergency stop"},
      {"plot limit", [&] { return plot->LimitText().section(QLatin1Char(':'), 0, 0); }, "线路极限", "Line limit"},
      {"scan title", [&] { return scan->windowTitle(); }, "扫描设备", "Scan for devices"},
      {"scan label", [&] { return LabelOf(scan, firstAddress); }, "起始地址:", "First address:"},
      {"scan column", [&] { return scanTable->horizontalHeaderItem(2)->text(); }, "校验", "Parity"},
      {"scan button", [&] { return startScan->text(); }, "开始扫描", "Start scan"},
      {"scan progress", [&] { return scanProgress->text(); },
       "尚未扫描", "Not scanned yet"},
      {"log title", [&] { return log->windowTitle(); }, "通讯记录", "Frame log"},
      {"log column", [&] { return model.headerData(CTrafficModel::RoundTrip, Qt::Horizontal, Qt::DisplayRole).toString(); },
       "往返", "Round trip"},
      {"log cell", [&] { return model.data(model.index(1, CTrafficModel::Crc), Qt::DisplayRole).toString(); }, "正确",
       "Good"},
      {"log meaning", [&] { return model.data(model.index(1, CTrafficModel::Meaning), Qt::DisplayRole).toString().section(QLatin1Char(' '), 0, 0); },
       "设备信息:", "Device"},
      {"log pause", [&] { return resume->text(); }, "继续显示", "Resume display"},
      {"log placeholder", [&] { return log->findChild<QLineEdit*>()->placeholderText(); }, "含义、字节或结果中的文字",
       "Text in the meaning, bytes or result"},
      {"log counts", [&] { return log->CountsText().section(QLatin1Char(' '), 0, 0); }, "记录", "Logged"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.shown(), QString::fromUtf8(c.chinese)) << c.control;
  Switch(lang::Language::English);
  for (const Case& c : cases) EXPECT_EQ(c.shown(), QString::fromUtf8(c.english)) << c.control;
  Switch(lang::Language::Chinese);
  for (const Case& c : cases) EXPECT_EQ(c.shown(), QString::fromUtf8(c.chinese)) << c.control;
}

}  // namespace

namespace {

// Opened in English, and switched to English while open: the windows grow
// where their texts need it.
TEST_F(ToolWindowsLanguageTest, PlotScanAndLogWindowsShowEveryEnglishTextWhole) {
  ChineseAfter chinese;
  // The panel's longest port, rate and parity name the scan's choice.
  Select(ids::PortCombo, 14);
  Select(ids::BaudCombo, 5);
  Select(ids::ParityCombo, 0);
  for (const bool openedInEnglish : {false, true}) {
    if (openedInEnglish) {
      dlg.reset();
      ASSERT_EQ(lang::Use(lang::Language::English), "");
      dlg = std::make_unique<CMainDlg>();
      dlg->show();
    }
    dlg->OnPlotWindow();
    QWidget* windows[] = {dlg->ScanWindow(), dlg->TrafficWindow(), dlg->PlotWindow()};
    for (QWidget* window : windows) window->show();
    if (!openedInEnglish) Switch(lang::Language::English);
    for (QWidget* window : windows) {
      QCoreApplication::processEvents();
      const std::vector<CutText> cuts = CutTexts(window);
      EXPECT_TRUE(cuts.empty()) << (openedInEnglish ? "opened " : "switched ") << window->windowTitle().toStdString()
                                << "\n" << Describe(cuts).toStdString();
    }
  }
}

}  // namespace
