// The tool windows follow a switch of language while they are open: what
// their tables built, what their windows wrote at run time (series, columns,
// status and progress lines) and the lists' items, into English and back.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <qcustomplot.h>

#include "MainDlgFixture.h"
#include "fields/StatusTexts.h"
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

size_t FieldOf(std::string_view key) {
  const auto fields = fields::StatusFields();
  for (size_t i = 0; i < fields.size(); ++i) {
    if (fields[i].key == key) return i;
  }
  ADD_FAILURE() << "no status field " << key;
  return 0;
}

QString GroupTitle(QWidget* window, const char* containing) {
  for (QGroupBox* box : window->findChildren<QGroupBox*>()) {
    if (box->findChild<QWidget*>(QString::fromUtf8(containing))) return box->title();
  }
  return QStringLiteral("(no group)");
}

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
  ToolWindowsLanguageTest() : MainDlgTest(sim::DriverOptions{.learned = true}) {}

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
  plot->SeriesBox(FieldOf("outputPwm"))->click();
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
      {"plot group", [&] { return GroupTitle(plot, "startCapture"); }, "高速采集", "Fast capture"},
      {"plot label", [&] { return LabelOf(plot, plot->Combo("windowLength")); }, "时间窗口:", "Time window:"},
      {"plot list item", [&] { return plot->Combo("windowLength")->itemText(2); }, "1 分钟", "1 min"},
      {"plot button", [&] { return plot->Button("startStep")->text(); }, "开始阶跃测试", "Start step test"},
      {"plot tooltip", [&] { return plot->Edit("captureSeconds")->toolTip(); }, "0 为直到停止", "0 runs until stopped"},
      {"plot series", [&] { return plot->SeriesBox(FieldOf("position"))->text(); }, "转动位置 [脉冲]",
       "Position [pulses]"},
      {"plot axis", [&] { return plot->Live()->Plot()->xAxis->label(); }, "打开串口以来的时间",
       "Time since the port was opened"},
      {"plot value axis", [&] { return plot->Live()->Plot()->yAxis2->label(); }, "电机转速 [RPM]", "Motor speed [RPM]"},
      {"plot status", [&] { return plot->StatusText(); }, "同时最多显示两种单位的曲线",
       "At most two units can be shown at once"},
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
