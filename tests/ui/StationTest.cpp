// "生产测试" in the real window against the simulated driver on a line timed
// as the wire: a scanned serial with Enter runs the example plan, its prompt
// answered, to its PASS banner and record, and the same serial again is
// asked about; a stalled rotor ends in a FAIL banner; F9 in a measuring
// window aborts the unit with the stop on the wire; what cannot run is
// refused with nothing sent; a unit's record reaches the plant's broker.
#include <QGroupBox>
#include <QPushButton>
#include <QTableWidget>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>

#include "BrokerPeer.h"
#include "MainDlgFixture.h"
#include "ui/StationDlg.h"
#include "ui/StationPlot.h"

namespace {

namespace fs = std::filesystem;

const std::string kPlan = KORVELT_EXAMPLES_DIR "/production/kvb4815.json";
const QString kSerial = QStringLiteral("KV4815-000123");

sim::DriverOptions Learned() {
  sim::DriverOptions options;
  options.learned = true;
  return options;
}

sim::LineOptions Wire() {
  sim::LineOptions line;
  line.wire = true;
  return line;
}

nlohmann::json ReadJson(const std::string& path) {
  std::ifstream in(path);
  return nlohmann::json::parse(in, nullptr, false);
}

// The record beside a unit's result file (its report page).
nlohmann::json RecordBeside(const std::string& resultFile) {
  return ReadJson(fs::path(resultFile).replace_extension(".json").string());
}

class StationTest : public MainDlgTest {
 protected:
  StationTest() : MainDlgTest(Learned(), Wire()) {}

  void Open(const std::string& plan = kPlan) {
    Click(ids::OpenPortButton);
    ASSERT_TRUE(dlg->m_link.IsOpen());
    ChooseMenuItem(CMainDlg::Menu::Tools, QString::fromUtf8("生产测试(&M)"));
    station = dlg->StationWindow();
    ASSERT_TRUE(station->isVisible());
    ASSERT_TRUE(station->LoadPlan(plan));
  }
  // As a barcode scanner types it: the characters, then Enter.
  void Scan(const QString& serial) {
    QTest::keyClicks(station->SerialEntry(), serial);
    QTest::keyClick(station->SerialEntry(), Qt::Key_Return);
  }
  // Runs the example plan to its end, answering its prompt with "继续".
  void RunExamplePlan() {
    Scan(kSerial);
    ASSERT_TRUE(station->Running());
    ASSERT_TRUE(WaitFor([&] { return station->PromptBox()->isVisible(); }, 30000));
    EXPECT_EQ(station->PromptText()->text(), QString::fromUtf8("请确认电机已固定在测试台上, 轴上无负载"));
    QTest::mouseClick(station->PromptBox()->findChild<QPushButton*>(QStringLiteral("continue")), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !station->Running(); }, 90000));
  }
  QString StepState(int row) const { return station->Steps()->item(row, 1)->text(); }
  // The last request is the stop command with `mode`.
  void ExpectStopLast(uint16_t mode) {
    const std::vector<uint8_t> last = line.Driver().LastRequest();
    ASSERT_EQ(last.size(), 8u);
    EXPECT_EQ(last[1], 0x06);
    EXPECT_EQ(last[2] << 8 | last[3], 0x0040);
    EXPECT_EQ(last[4] << 8 | last[5], mode);
  }

  CStationDlg* station = nullptr;
};

TEST_F(StationTest, AScannedSerialRunsThePlanToItsPassBannerAndRecordAndIsAskedAboutWhenScannedAgain) {
  Open();
  EXPECT_EQ(station->focusWidget(), station->SerialEntry());
  RunExamplePlan();
  EXPECT_EQ(station->Banner()->text(), "PASS");
  EXPECT_EQ(station->Banner()->palette().color(QPalette::Window), QColor(0x2E, 0x7D, 0x32));
  EXPECT_EQ(station->Counters()->text(), QString::fromUtf8("已测 1   合格 1   不合格 0"));
  for (int row = 0; row < station->Steps()->rowCount(); ++row) EXPECT_EQ(StepState(row), "PASS") << row;
  // The last run step was drawn as it ran.
  EXPECT_GT(station->LivePlot()->PointCount(), 5);
  ASSERT_EQ(station->Recent()->rowCount(), 1);
  EXPECT_EQ(station->Recent()->item(0, 1)->text(), kSerial);
  const std::string file = station->ResultFile(0);
  ASSERT_TRUE(fs::is_regular_file(file)) << file;
  EXPECT_EQ(fs::path(file).parent_path(), fs::path(station->FolderEntry()->text().toStdString()));
  EXPECT_EQ(fs::path(file).extension(), ".html");
  const nlohmann::json record = RecordBeside(file);
  EXPECT_EQ(record["outcome"], "PASS");
  EXPECT_EQ(record["serial"], kSerial.toStdString());
  EXPECT_EQ(record["steps"][3]["outcome"], "PASS");
  EXPECT_TRUE(station->SerialEntry()->text().isEmpty()) << "ready for the next scan";

  // The same unit again: asked about, and left alone when the answer is no.
  const uint64_t before = line.Driver().RequestCount();
  boxes.AnswerQuestions(false);
  Scan(kSerial);
  ASSERT_EQ(boxes.Questions().size(), 1u);
  EXPECT_NE(boxes.Questions()[0].indexOf(kSerial), -1) << boxes.Questions()[0].toStdString();
  EXPECT_NE(boxes.Questions()[0].indexOf("PASS"), -1) << boxes.Questions()[0].toStdString();
  EXPECT_FALSE(station->Running());
  EXPECT_EQ(line.Driver().RequestCount(), before);
}

TEST_F(StationTest, AStalledRotorEndsInARedFailBanner) {
  line.Driver().SetMotorFault(sim::MotorFault::Stall);
  // The driver gives up on a stall only after 10 s: the window sees the
  // rotor standing rather than the error state.
  line.Driver().SetRegister(0x008E, 100);
  Open();
  RunExamplePlan();
  EXPECT_EQ(station->Banner()->text(), "FAIL");
  EXPECT_EQ(station->Banner()->palette().color(QPalette::Window), QColor(0xC6, 0x28, 0x28));
  EXPECT_EQ(StepState(5), "FAIL");
  EXPECT_EQ(StepState(6), "") << "the first FAIL ends the unit";
  EXPECT_EQ(station->Counters()->text(), QString::fromUtf8("已测 1   合格 0   不合格 1"));
  ExpectStopLast(0);
}

TEST_F(StationTest, F9InTheMeasuringWindowAbortsTheUnitWithTheStopOnTheWire) {
  const std::string plan = dataHome.Path() + "/long.json";
  std::ofstream(plan) << R"({"format": "korvelt-test-plan", "version": 1, "name": "长时间运行", "revision": "A",
    "steps": [{"type": "run", "name": "50 Hz", "command": {"mode": "frequency", "frequency": 50, "stop": "emergency"},
               "window": 600, "measure": [{"field": "motorSpeed", "stat": "mean", "low": 0, "unit": "RPM"}]}]})";
  Open(plan);
  Scan(QStringLiteral("A1"));
  // The command (50.0 Hz), then a few of the window's reads.
  ASSERT_TRUE(WaitFor([&] { return line.Driver().Register(0x0043) == 500; }, 20000));
  const uint64_t commanded = line.Driver().RequestCount();
  ASSERT_TRUE(WaitFor([&] { return line.Driver().RequestCount() >= commanded + 5; }, 20000));
  EXPECT_EQ(StepState(0), QString::fromUtf8("进行中"));
  QTest::keyClick(station->SerialEntry(), Qt::Key_F9);
  ASSERT_TRUE(WaitFor([&] { return !station->Running(); }, 20000));
  EXPECT_EQ(station->Banner()->text(), "ABORTED");
  ExpectStopLast(1);
  const nlohmann::json record = RecordBeside(station->ResultFile(0));
  EXPECT_EQ(record["outcome"], "ABORTED");
  EXPECT_FALSE(record["steps"][0]["samples"].is_null());
}

TEST_F(StationTest, WhatCannotRunIsRefusedWithNothingSent) {
  Open();
  const std::string notAFolder = dataHome.Path() + "/file";
  std::ofstream(notAFolder) << "x";
  struct Case {
    const char* name;
    QString serial;
    std::string folder;  // empty: the plan's own
    const char* says;
    QString broker = {};
  };
  const Case cases[] = {
      {"serial outside the pattern", QStringLiteral("KV4815-12"), {}, "序列号模式"},
      {"serial that reads as a formula", QStringLiteral("=1+1"), {}, "ASCII"},
      {"results folder is a file", kSerial, notAFolder, "无法创建结果文件夹"},
      {"broker that is no MQTT URL", kSerial, {}, "MQTT 代理", QStringLiteral("http://127.0.0.1:1883")},
  };
  const uint64_t before = line.Driver().RequestCount();
  const QString folder = station->FolderEntry()->text();
  for (const Case& c : cases) {
    station->FolderEntry()->setText(c.folder.empty() ? folder : QString::fromStdString(c.folder));
    station->BrokerEntry()->setText(c.broker);
    station->SerialEntry()->clear();
    const size_t shown = boxes.Boxes().size();
    Scan(c.serial);
    EXPECT_FALSE(station->Running()) << c.name;
    ASSERT_EQ(boxes.Boxes().size(), shown + 1) << c.name;
    EXPECT_NE(boxes.Texts().back().indexOf(QString::fromUtf8(c.says)), -1) << c.name << ": "
                                                                           << boxes.Texts().back().toStdString();
  }
  EXPECT_EQ(line.Driver().RequestCount(), before);
  EXPECT_EQ(station->Banner()->text(), QString::fromUtf8("就绪"));
  EXPECT_FALSE(fs::exists(folder.toStdString()) && !fs::is_empty(folder.toStdString()));
}

TEST_F(StationTest, AUnitsRecordReachesTheBrokerNamedAndTheStationShowsItsState) {
  using namespace std::chrono_literals;
  Broker broker(dataHome.Path());
  ASSERT_TRUE(broker.Start());
  Subscriber receiver(broker.Port(), "korvelt/#");
  ASSERT_TRUE(receiver.WaitSubscribed(10s));
  const std::string plan = dataHome.Path() + "/plan.json";
  std::ofstream(plan) << R"({"format": "korvelt-test-plan", "version": 1, "name": "发布", "revision": "A",
    "steps": [{"type": "identify", "name": "型号", "model": "KVB-4815-RS485-S"},
    {"type": "run", "name": "空载", "command": {"mode": "frequency", "frequency": 400, "stop": "normal"},
     "settle": 0.5, "window": 0.3, "measure": [{"field": "motorSpeed", "stat": "mean", "low": 100, "unit": "RPM"}]}]})";
  Open(plan);
  station->BrokerEntry()->setText(QStringLiteral("mqtt://127.0.0.1:%1").arg(broker.Port()));
  station->StationEntry()->setText(QStringLiteral("台 3"));
  Scan(QStringLiteral("KV-9"));
  ASSERT_TRUE(WaitFor([&] { return !station->Running(); }, 60000));
  EXPECT_EQ(station->Banner()->text(), "PASS");
  const std::vector<Message> results = receiver.WaitFor("/result", 1, 10s);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].topic, "korvelt/台 3/result");
  const nlohmann::json published = nlohmann::json::parse(results[0].payload, nullptr, false);
  EXPECT_EQ(published, RecordBeside(station->ResultFile(0)));
  EXPECT_EQ(published["serial"], "KV-9");
  // testing while the unit ran, idle after it.
  const std::vector<Message> states = receiver.WaitFor("/state", 0, 10s, "idle");
  ASSERT_GE(states.size(), 2u);
  EXPECT_EQ(states[states.size() - 2].payload, "testing");
  EXPECT_TRUE(WaitFor([&] { return station->BrokerState()->text().startsWith(QString::fromUtf8("已连接")); }, 5000))
      << station->BrokerState()->text().toStdString();
  // A closed station says so to the plant.
  station->close();
  const std::vector<Message> closed = receiver.WaitFor("/state", 0, 10s, "offline");
  ASSERT_FALSE(closed.empty());
  EXPECT_EQ(closed.back().payload, "offline");
}

}  // namespace
