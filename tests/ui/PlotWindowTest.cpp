// The plot window as the operator uses it, on the real main window against
// the simulated driver: series while polling, a command's mark, a capture
// that outlives the closed plot window and gives the poll back, the export,
// and the main window closed in the middle of a step test.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRegularExpression>
#include <qcustomplot.h>
#include <filesystem>
#include <fstream>

#include "MainDlgFixture.h"
#include "fields/StatusTexts.h"
#include "ui/FieldPage.h"
#include "ui/FileDialogs.h"
#include "ui/LivePlot.h"
#include "ui/PlotSeries.h"
#include "ui/PlotWindow.h"
#include "ui/forms/MotorControlForm.h"

namespace {

constexpr size_t kMotorSpeed = 15;
constexpr size_t kPhaseCurrent = 1;

class PlotWindowTest : public MainDlgTest {
 protected:
  PlotWindowTest() : MainDlgTest(sim::DriverOptions{.learned = true}) {}

  static QAction* Item(QMenu* menu, const char* text) {
    for (QAction* action : menu->actions()) {
      if (action->text().contains(QString::fromUtf8(text))) return action;
    }
    ADD_FAILURE() << "no menu item " << text;
    return nullptr;
  }

  CPlotWindow* OpenPlot() {
    Item(dlg->MenuOf(CMainDlg::Menu::Tools), "实时曲线")->trigger();
    CPlotWindow* plot = dlg->PlotWindow();
    EXPECT_NE(plot, nullptr);
    EXPECT_TRUE(plot != nullptr && plot->isVisible());
    return plot;
  }

  void ClickPlot(CPlotWindow* plot, const char* button) {
    QPushButton* target = plot->Button(button);
    ASSERT_NE(target, nullptr) << button;
    QTest::mouseClick(target, Qt::LeftButton);
  }
};

TEST_F(PlotWindowTest, SeriesWhilePollingAndACaptureThatOutlivesTheWindowAndGivesThePollBack) {
  OpenAndPoll();
  CPlotWindow* plot = OpenPlot();
  ASSERT_NE(plot, nullptr);
  EXPECT_TRUE(plot->SeriesBox(kMotorSpeed)->isChecked());
  ASSERT_TRUE(WaitFor([&] { return plot->Live()->PointCount(kMotorSpeed) >= 3; }));
  // A third unit is refused: two axes at most.
  plot->SeriesBox(0)->setChecked(true);
  EXPECT_FALSE(plot->SeriesBox(0)->isChecked());
  EXPECT_FALSE(plot->StatusText().isEmpty());

  // A stop from "电机控制" leaves its mark in the plot.
  QTest::mouseClick(qobject_cast<QAbstractButton*>(dynamic_cast<CFieldPage*>(dlg->Pages()[0])->Control(forms::motorcontrol::id::Stop)),
                    Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return plot->Live()->MarkCount() >= 1; }));

  plot->Edit("captureSeconds")->setText(QStringLiteral("0"));
  ClickPlot(plot, "startCapture");
  ASSERT_TRUE(dlg->Session().CaptureRunning()) << plot->StatusText().toStdString();
  EXPECT_TRUE(plot->LimitText().contains(QStringLiteral("9600 bit/s"))) << plot->LimitText().toStdString();
  const uint64_t atStart = dlg->Session().Recording().End();
  ASSERT_TRUE(WaitFor([&] { return dlg->Session().Recording().End() > atStart + 20; }));
  // Closing the plot window stops neither the capture nor the recording.
  plot->close();
  const uint64_t closed = dlg->Session().Recording().End();
  ASSERT_TRUE(WaitFor([&] { return dlg->Session().Recording().End() > closed + 5; }));
  EXPECT_TRUE(dlg->Session().CaptureRunning());
  plot = OpenPlot();
  ClickPlot(plot, "stopCapture");
  ASSERT_TRUE(WaitFor([&] { return !dlg->Session().CaptureRunning(); }));
  ASSERT_TRUE(WaitFor([&] { return plot->RateText().contains(QString::fromUtf8("个样本")); }));
  // The status poll comes back: the recording grows again at its pace.
  const uint64_t ended = dlg->Session().Recording().End();
  ASSERT_TRUE(WaitFor([&] { return dlg->Session().Recording().End() >= ended + 3; }));
}

TEST_F(PlotWindowTest, ExportWritesTheWholeRecordingAndItsCompanion) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("korvelt-export-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const QString path = QString::fromStdString((folder / "run.csv").string());
  const ui::FileChooser previous =
      ui::SetFileChooser([&](QWidget*, ui::FileDialog, const std::string&) { return path.toStdString(); });
  OpenAndPoll();
  ASSERT_TRUE(WaitFor([&] { return dlg->Session().Recording().End() >= 5; }));
  Item(dlg->MenuOf(CMainDlg::Menu::File), "导出记录")->trigger();
  ASSERT_TRUE(WaitFor([&] { return !boxes.Texts().empty(); }, 10000));
  EXPECT_TRUE(boxes.Texts().back().startsWith(QString::fromUtf8("记录已导出"))) << boxes.Texts().back().toStdString();
  std::ifstream csv(path.toStdString());
  int rows = -1;
  for (std::string line; std::getline(csv, line);) ++rows;
  EXPECT_GE(rows, 5);
  std::ifstream json((folder / "run.json").string());
  const nlohmann::json companion = nlohmann::json::parse(json);
  EXPECT_EQ(companion["rows"], rows);
  EXPECT_EQ(companion["device"]["fields"][0]["text"], "0x0A31") << "the identity read for the export";
  ui::SetFileChooser(previous);
  std::filesystem::remove_all(folder);
}

// The companion names the line the rows were read on: the port as it was
// opened, though the panel shows another port and rate by the export.
TEST_F(PlotWindowTest, TheCompanionNamesTheOpenedPortNotThePanelsChoice) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("korvelt-opened-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string path = (folder / "run.csv").string();
  const ui::FileChooser previous =
      ui::SetFileChooser([&](QWidget*, ui::FileDialog, const std::string&) { return path; });
  Select(ids::ParityCombo, 2);
  OpenAndPoll();
  const std::string device = dlg->m_link.DevicePath();
  ASSERT_TRUE(WaitFor([&] { return dlg->Session().Recording().End() >= 3; }));
  Select(ids::PortCombo, 4);
  Select(ids::BaudCombo, 5);
  Select(ids::ParityCombo, 1);
  Item(dlg->MenuOf(CMainDlg::Menu::File), "导出记录")->trigger();
  ASSERT_TRUE(WaitFor([&] { return !boxes.Texts().empty(); }, 10000));
  std::ifstream json((folder / "run.json").string());
  const nlohmann::json line = nlohmann::json::parse(json)["line"];
  EXPECT_EQ(line["port"], "COM1");
  EXPECT_EQ(line["device"], device);
  EXPECT_EQ(line["baud"], 9600);
  EXPECT_EQ(line["parity"], "even");
  ui::SetFileChooser(previous);
  std::filesystem::remove_all(folder);
}

// The export names both files it writes, and writes neither when the
// companion's name belongs to the CSV itself or to a file that is no
// companion (a parameter file beside the CSV).
TEST_F(PlotWindowTest, TheExportsCompanionReplacesNoOtherFile) {
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("korvelt-companion-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::string parameters = R"({"format": "korvelt-parameters", "version": 1, "blocks": {}})";
  std::ofstream(folder / "line3.json") << parameters;
  std::string chosen;
  const ui::FileChooser previous = ui::SetFileChooser([&](QWidget*, ui::FileDialog, const std::string&) { return chosen; });
  OpenAndPoll();
  struct Case {
    const char* file;
    const char* says;
  };
  const Case cases[] = {
      {"run.json", "以 .json 结尾"},
      {"line3.csv", "已存在且不是记录的说明文件"},
      {"run.csv", "说明文件: "},
  };
  for (const Case& c : cases) {
    chosen = (folder / c.file).string();
    const size_t shown = boxes.Texts().size();
    Item(dlg->MenuOf(CMainDlg::Menu::File), "导出记录")->trigger();
    ASSERT_TRUE(WaitFor([&] { return boxes.Texts().size() > shown; }, 10000));
    EXPECT_TRUE(boxes.Texts().back().contains(QString::fromUtf8(c.says))) << boxes.Texts().back().toStdString();
  }
  EXPECT_TRUE(boxes.Texts().back().contains(QString::fromStdString((folder / "run.json").string())));
  std::ifstream kept(folder / "line3.json");
  EXPECT_EQ(std::string(std::istreambuf_iterator<char>(kept), {}), parameters);
  EXPECT_FALSE(std::filesystem::exists(folder / "line3.csv"));
  ui::SetFileChooser(previous);
  std::filesystem::remove_all(folder);
}

// Whether the window closes or the operator presses "关闭串口", the step
// test's stop goes out before the port closes.
TEST_F(PlotWindowTest, ClosingTheWindowOrThePortInAStepTestStopsTheMotor) {
  for (const bool closePort : {true, false}) {
    if (!dlg->m_link.IsOpen()) OpenAndPoll();
    if (!closePort) Click(ids::AutoUpdate);  // ticked again by OpenAndPoll after the first round
    line.Driver().SetRegister(RegisterMap::FrequencyCommand, 0);
    CPlotWindow* plot = OpenPlot();
    ASSERT_NE(plot, nullptr);
    plot->Edit("stepSeconds")->setText(QStringLiteral("60"));
    ClickPlot(plot, "startStep");
    ASSERT_TRUE(dlg->Session().CaptureRunning()) << plot->StatusText().toStdString();
    ASSERT_TRUE(WaitFor([&] { return line.Driver().Register(RegisterMap::FrequencyCommand) == 1000; }));
    if (closePort) {
      Click(ids::OpenPortButton);
      EXPECT_FALSE(dlg->m_link.IsOpen());
    } else {
      dlg.reset();
    }
    const std::vector<uint8_t> last = line.Driver().LastRequest();
    ASSERT_GE(last.size(), 4u);
    EXPECT_EQ(last[1], 0x06);
    EXPECT_EQ((last[2] << 8) | last[3], RegisterMap::StopCommand)
        << (closePort ? "port closed" : "window closed") << ": the step test's stop went out last";
  }
}

// An entry out of its range starts nothing: a box names the entry and its
// range as "电机控制" names its own, and the keyboard goes to the entry.
TEST_F(PlotWindowTest, EntriesOutOfRangeAreRefusedWithTheirRange) {
  OpenAndPoll();
  CPlotWindow* plot = OpenPlot();
  ASSERT_NE(plot, nullptr);
  struct Case {
    int stepKind;  // -1: the capture
    const char* edit;
    const char* text;
    const char* message;
  };
  const Case cases[] = {
      {-1, "captureSeconds", "3600.1", "采集时间: 请输入 0.0 到 3600.0 之间的数值"},
      {-1, "captureSeconds", "十", "采集时间: 请输入 0.0 到 3600.0 之间的数值"},
      {0, "stepFrequency", "-3276.8", "换向频率: 请输入 -3276.7 到 3276.7 之间的数值"},
      {1, "stepFrequency", "x", "换向频率: 请输入 0.1 到 6553.5 之间的数值"},
      {1, "stepPosition", "2147483648", "转动位置: 请输入 -2147483648 到 2147483647 之间的数值"},
      {0, "stepSeconds", "0", "测试时间: 请输入 0.1 到 60.0 之间的数值"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const size_t before = boxes.Boxes().size();
    plot->Edit(c.edit)->setText(QString::fromUtf8(c.text));
    if (c.stepKind >= 0) plot->Combo("stepKind")->setCurrentIndex(c.stepKind);
    ClickPlot(plot, c.stepKind < 0 ? "startCapture" : "startStep");
    ASSERT_EQ(boxes.Boxes().size(), before + 1);
    EXPECT_EQ(boxes.Boxes().back().text, QString::fromUtf8(c.message));
    EXPECT_FALSE(dlg->Session().CaptureRunning());
    EXPECT_EQ(plot->focusWidget(), plot->Edit(c.edit));
    plot->Edit(c.edit)->setText(QString::fromUtf8(c.edit == std::string("stepSeconds") ? "3" : "10"));
  }
}

QCPGraph* GraphNamed(QCustomPlot* plot, size_t field) {
  for (int i = 0; i < plot->graphCount(); ++i) {
    if (plot->graph(i)->name() == plot::SeriesName(field)) return plot->graph(i);
  }
  ADD_FAILURE() << "no graph for field " << field;
  return nullptr;
}

// A motor at rest: speed and current are flat lines on the two axes, drawn
// apart; a mark made now (at the right edge) shows its text whole; the
// reading under the plot counts the time as the axis does and only over
// the plotted area; a capture's rate, above the limit of a line without
// wire timing, says so without moving the plot; Esc closes the window.
TEST_F(PlotWindowTest, FlatSeriesMarksReadingRateAndEscAsTheOperatorMeetsThem) {
  OpenAndPoll();
  CPlotWindow* plot = OpenPlot();
  ASSERT_NE(plot, nullptr);
  CLivePlot* live = plot->Live();
  QCustomPlot* area = live->Plot();
  // A line long enough to be seen clear of the axis at the right edge.
  ASSERT_TRUE(WaitFor([&] { return live->PointCount(kMotorSpeed) >= 12; }));
  const auto row = [&](size_t field) {
    QCPGraph* graph = GraphNamed(area, field);
    return graph->valueAxis()->coordToPixel(graph->data()->at(graph->dataCount() - 1)->value);
  };
  // New samples wait for the view to slide a little before they are drawn.
  const auto drawnToNewest = [&] {
    const QCPGraph* graph = GraphNamed(area, kMotorSpeed);
    return area->xAxis->range().upper >= graph->data()->at(graph->dataCount() - 1)->key;
  };
  ASSERT_TRUE(WaitFor(drawnToNewest));
  EXPECT_GT(std::abs(row(kMotorSpeed) - row(kPhaseCurrent)), 20) << "one flat line hides the other";
  // What the window shows: each flat line in its colour at its row, on the
  // plot's white background.
  area->replot();
  const QImage shown = area->grab().toImage();
  const QRect inside0 = area->axisRect()->rect();
  for (const size_t field : {kMotorSpeed, kPhaseCurrent}) {
    const QColor color = plot::SeriesColor(field);
    // Within the line, between its first and newest samples.
    const QCPGraph* graph = GraphNamed(area, field);
    const double middle = (graph->data()->at(0)->key + graph->data()->at(graph->dataCount() - 1)->key) / 2;
    const int x = static_cast<int>(std::lround(area->xAxis->coordToPixel(middle)));
    const int y = static_cast<int>(std::lround(row(field)));
    bool found = false;
    for (int dy = -2; dy <= 2 && !found; ++dy) found = shown.pixelColor(x, y + dy).rgb() == color.rgb();
    EXPECT_TRUE(found) << "series " << field << " not drawn at row " << y;
  }
  EXPECT_EQ(shown.pixelColor(inside0.left() + 2, inside0.top() + 2).rgb(), QColor(Qt::white).rgb());

  QTest::mouseClick(
      qobject_cast<QAbstractButton*>(dynamic_cast<CFieldPage*>(dlg->Pages()[0])->Control(forms::motorcontrol::id::Stop)),
      Qt::LeftButton);
  ASSERT_TRUE(WaitFor([&] { return live->MarkCount() >= 1; }));
  // The next redraw slides the view to the mark, at its right edge.
  const int redraws = live->Redraws();
  ASSERT_TRUE(WaitFor([&] { return live->Redraws() > redraws; }));
  area->replot();
  const QRect inside = area->axisRect()->rect();
  ASSERT_FALSE(live->MarkTextRects().empty());
  for (const QRectF& text : live->MarkTextRects()) {
    EXPECT_GE(text.left(), inside.left());
    EXPECT_LE(text.right(), inside.right() + 1) << "a mark's text cut at the right edge";
  }

  const auto move = [&](QPoint at) {
    QMouseEvent event(QEvent::MouseMove, at, area->mapToGlobal(at), Qt::NoButton, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(area, &event);
  };
  // Since the port opened: the window reaches back before it.
  move({static_cast<int>(area->xAxis->coordToPixel(area->xAxis->range().upper / 2)), inside.center().y()});
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d\\.\\d{3}   ")).match(live->CursorText()).hasMatch())
      << live->CursorText().toStdString();
  move({inside.right() + 5, inside.center().y()});
  EXPECT_TRUE(live->CursorText().isEmpty()) << "over the axis, not the plot";

  const int plotLeft = live->mapTo(plot, QPoint()).x();
  plot->Edit("captureSeconds")->setText(QStringLiteral("0.5"));
  ClickPlot(plot, "startCapture");
  ASSERT_TRUE(WaitFor([&] { return plot->RateText().contains(QString::fromUtf8("个样本")); }));
  EXPECT_TRUE(plot->RateText().contains(QString::fromUtf8("高于线路极限"))) << plot->RateText().toStdString();
  QApplication::processEvents();
  EXPECT_EQ(live->mapTo(plot, QPoint()).x(), plotLeft) << "the plot stays where it was";

  QTest::keyClick(plot, Qt::Key_Escape);
  EXPECT_FALSE(plot->isVisible());
}

}  // namespace
