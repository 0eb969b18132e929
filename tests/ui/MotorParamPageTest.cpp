// The "电机参数" page in the real window against the simulated driver: read
// then configure writes back every word read, a refused entry sends
// nothing, and a learning run ends in each of its ways, shown by the
// user-interface thread, or quietly when the window closes under it.
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <filesystem>

#include "LearningDriver.h"
#include "WindowPageTest.h"
#include "WireBytes.h"
#include "ui/forms/MotorParamForm.h"

namespace {

using namespace std::chrono_literals;
namespace id = forms::motorparam::id;

constexpr uint16_t ParamStart = 0x0060;
constexpr uint16_t ParamCount = 23;

// What a learning case sets up and what the page shows at its end.
struct LearningCase {
  const char* name;
  sim::DriverOptions options;
  std::optional<sim::Fault> startFault;
  bool runningAlready;  // the driver answers the start with "busy"
  const char* message;
  const char* phaseOrder;  // edit 1059 afterwards
  int learnState;          // list 1111 afterwards
};

void PrintTo(const LearningCase& c, std::ostream* os) { *os << c.name; }

class MotorParamPage : public WindowPageTest<CMotorParamPage> {
 protected:
  explicit MotorParamPage(sim::DriverOptions options = {}) : WindowPageTest(std::move(options)) {}

  std::vector<uint16_t> Params() {
    std::vector<uint16_t> words;
    for (uint16_t i = 0; i < ParamCount; ++i) words.push_back(line.Driver().Register(ParamStart + i));
    return words;
  }
  void SetParams(const std::vector<uint16_t>& words) {
    for (uint16_t i = 0; i < ParamCount; ++i) line.Driver().SetRegister(ParamStart + i, words[i]);
  }
  // The run is on its worker, past the backup before it: the request
  // count then, which its start comes after.
  uint64_t WaitForTheRunToStart() {
    EXPECT_TRUE(WaitFor([&] { return page->RunStarted(); }, 10000)) << "no start";
    return line.Driver().RequestCount();
  }
  size_t Backups() const {
    const std::filesystem::path folder = dataHome.Path() + "/korvelt-demo/backups";
    if (!std::filesystem::exists(folder)) return 0;
    return static_cast<size_t>(std::distance(std::filesystem::directory_iterator(folder), {}));
  }
};

TEST_F(MotorParamPage, ReadThenConfigureWritesBackEveryWordRead) {
  auto* configure = On<QPushButton>(id::Configure);
  EXPECT_FALSE(configure->isEnabled());
  Press(id::Read);  // the port is still closed
  EXPECT_EQ(boxes.Texts(), std::vector<QString>{"串口未打开"});
  EXPECT_FALSE(configure->isEnabled()) << "a failed read enables nothing";

  Click(ids::OpenPortButton);
  // Words 8 and 9 are not shown; bit-0 fields carry other bits.
  const std::vector<uint16_t> held = {5,      3,      20000,  5000,   20000, 5000,   45000, 5000,
                                      0xBEEF, 0x1234, 200,    1000,   300,   0x1A2B, 0x3C4D, 0x5E6F,
                                      0x0003, 7,      0x0006, 8,      100,   0x0005, 0x0002};
  SetParams(held);
  Press(id::Read);
  EXPECT_EQ(boxes.Texts().size(), 1u) << "a read that succeeds shows nothing";
  EXPECT_TRUE(configure->isEnabled());
  EXPECT_EQ(On<QLineEdit>(1043)->text(), "2.00");
  EXPECT_EQ(On<QLineEdit>(1098)->text(), "0.5");
  EXPECT_EQ(On<QLineEdit>(1094)->text(), "10.0");
  EXPECT_EQ(On<QLineEdit>(id::PhaseOrder)->text(), "1A 2B 3C 4D 5E 6F");
  EXPECT_TRUE(On<QRadioButton>(1051)->isChecked()) << "时间-位置闭环控制 from bit 0 of 3";
  EXPECT_FALSE(On<QCheckBox>(1102)->isChecked());
  EXPECT_EQ(On<QComboBox>(id::LearnState)->currentIndex(), 1);

  SetParams(std::vector<uint16_t>(ParamCount, 0));
  Press(id::Configure);
  EXPECT_EQ(boxes.Texts().back(), "操作成功");
  EXPECT_EQ(Params(), held);

  const std::vector<uint8_t> before = dlg->m_link.LastSentFrame();
  On<QLineEdit>(1094)->setText("6553.6");
  Press(id::Configure);
  EXPECT_EQ(dlg->m_link.LastSentFrame(), before) << "a refused entry sends nothing";
  EXPECT_EQ(boxes.Texts().back(), "减速器减速比: 请输入 0.0 到 6553.5 之间的数值");
  EXPECT_EQ(dlg->focusWidget(), page->Control(1094));
}

class LearningRunTest : public MotorParamPage, public ::testing::WithParamInterface<LearningCase> {
 protected:
  LearningRunTest() : MotorParamPage(GetParam().options) {}
};

TEST_P(LearningRunTest, EndsInItsOutcomeShownByTheWindow) {
  const LearningCase& c = GetParam();
  Click(ids::OpenPortButton);
  // A motor learned before, so that what the run changes shows; the read
  // lets "配置" write what the run leaves on the page.
  const uint16_t before[] = {0x1A2B, 0x3C4D, 0x5E6F};
  for (uint16_t i = 0; i < 3; ++i) line.Driver().SetRegister(0x006D + i, before[i]);
  line.Driver().SetRegister(0x0075, 1);
  Press(id::Read);
  auto* button = On<QPushButton>(id::StartLearning);
  std::vector<std::pair<QString, bool>> buttonAtBox;
  std::vector<QString> texts;
  const ui::MessageBoxHandler recorder =
      ui::SetMessageBoxHandler([&](QWidget*, const QString&, const QString& text) {
        EXPECT_EQ(QThread::currentThread(), qApp->thread());
        buttonAtBox.emplace_back(button->text(), button->isEnabled());
        texts.push_back(text);
        return 0x00000400;
      });
  if (c.runningAlready) {
    ASSERT_FALSE(line.Driver().Respond(WithCrc("01 10 00 E0 00 04 08 00 00 00 01 00 00 00 00")).empty());
  }
  if (c.startFault) line.Driver().SetFault(*c.startFault);
  const uint64_t requests = line.Driver().RequestCount();

  Press(id::StartLearning);
  EXPECT_EQ(button->text(), "正在学习");
  EXPECT_FALSE(button->isEnabled());
  EXPECT_TRUE(WaitFor([&] { return !page->IsLearning(); }, 10000));
  ASSERT_EQ(texts, std::vector<QString>{c.message});
  EXPECT_EQ(buttonAtBox.front(), std::make_pair(QString("正在学习"), false)) << "idle only once the box is closed";
  EXPECT_EQ(button->text(), "开始学习");
  EXPECT_TRUE(button->isEnabled());
  EXPECT_EQ(On<QLineEdit>(id::PhaseOrder)->text(), c.phaseOrder);
  EXPECT_EQ(On<QComboBox>(id::LearnState)->currentIndex(), c.learnState);
  if (c.startFault) {
    // The backup's first read failed as well, and the operator went on without it.
    EXPECT_EQ(line.Driver().RequestCount(), requests + 2) << "the backup's read, the start; no poll, no final write";
    ASSERT_EQ(boxes.Questions().size(), 1u);
    EXPECT_TRUE(boxes.Questions()[0].startsWith("读取设备信息: 非法寄存器地址\n无法在学习前备份参数。"));
    EXPECT_EQ(Backups(), 0u);
    line.Driver().ClearFault();
  } else {
    EXPECT_TRUE(boxes.Questions().empty());
    EXPECT_EQ(Backups(), 1u) << "every block saved before the run";
  }

  // "配置" writes what the run left in the controls.
  Press(id::Configure);
  EXPECT_EQ(texts.back(), "操作成功");
  const std::vector<uint16_t> words = Params();
  EXPECT_EQ(fields::PhaseOrderText(&words[13]), c.phaseOrder);
  EXPECT_EQ(words[21] & 1, c.learnState);
  ui::SetMessageBoxHandler(recorder);
}

constexpr const char* Unchanged = "1A 2B 3C 4D 5E 6F";

INSTANTIATE_TEST_SUITE_P(
    Outcomes, LearningRunTest,
    ::testing::Values(
        LearningCase{"success", LearningDriver(sim::LearningOutcome::Success), std::nullopt, false, "学习成功",
                     "12 34 56 78 9A BC", 1},
        LearningCase{"failure", LearningDriver(sim::LearningOutcome::Failure), std::nullopt, false, "学习失败", Unchanged,
                     0},
        LearningCase{"abnormal", LearningDriver(sim::LearningOutcome::AbnormalStop), std::nullopt, false, "学习异常终止",
                     Unchanged, 1},
        LearningCase{"busy", LearningDriver(sim::LearningOutcome::Success), std::nullopt, true, "学习成功",
                     "12 34 56 78 9A BC", 1},
        LearningCase{"refused", LearningDriver(sim::LearningOutcome::Success), sim::Fault::ExceptionCode(0x02), false,
                     "非法寄存器地址", Unchanged, 1}),
    [](const ::testing::TestParamInfo<LearningCase>& info) { return std::string(info.param.name); });

class EndlessLearning : public MotorParamPage {
 protected:
  EndlessLearning() : MotorParamPage(LearningDriver(sim::LearningOutcome::Success, std::chrono::hours(24))) {}
};

TEST_F(EndlessLearning, PortClosedDuringTheRunIsReportedAfterTheFinalWrite) {
  Click(ids::OpenPortButton);
  Press(id::StartLearning);
  const uint64_t started = WaitForTheRunToStart();
  ASSERT_TRUE(WaitFor([&] { return line.Driver().RequestCount() >= started + 2; })) << "a poll came through";
  Click(ids::OpenPortButton);  // closes it
  ASSERT_TRUE(WaitFor([&] { return !page->IsLearning(); }, 10000));
  ASSERT_EQ(boxes.Texts().size(), 1u);
  // Closed between two polls, or under one that waited for its answer.
  EXPECT_TRUE(boxes.Texts()[0] == "串口未打开" || boxes.Texts()[0] == "通讯超时") << boxes.Texts()[0].toStdString();
  EXPECT_EQ(On<QPushButton>(id::StartLearning)->text(), "开始学习");
}

TEST_F(EndlessLearning, ClosingTheWindowDuringARunEndsItQuietly) {
  const std::vector<uint8_t> finalWrite = Bytes("01 10 00 E0 00 04 08 00 00 00 01");
  // The motor turns during the run, so leaving asks; the operator leaves.
  boxes.AnswerChoices(1);
  for (const bool escape : {true, false}) {
    SCOPED_TRACE(escape ? "Esc" : "close box");
    if (dlg == nullptr) {
      dlg = std::make_unique<CMainDlg>();
      dlg->show();
      FindPage();
    }
    Click(ids::OpenPortButton);
    Press(id::StartLearning);
    const uint64_t before = WaitForTheRunToStart();
    ASSERT_TRUE(WaitFor([&] { return line.Driver().RequestCount() >= before + 1; })) << "the start was sent";
    if (escape) {
      QTest::keyClick(dlg.get(), Qt::Key_Escape);
    } else {
      dlg->close();
    }
    EXPECT_FALSE(dlg->isVisible());
    dlg.reset();  // stops and joins the worker while the link is open
    QCoreApplication::processEvents();
    EXPECT_TRUE(boxes.Boxes().empty());
    const std::vector<uint8_t> last = line.Driver().LastRequest();
    ASSERT_GE(last.size(), finalWrite.size());
    EXPECT_EQ(std::vector<uint8_t>(last.begin(), last.begin() + static_cast<long>(finalWrite.size())), finalWrite)
        << "the final write: words 0..3 with the run flag set";
    // The start alone would leave one request, and a poll after it would be last.
    EXPECT_GE(line.Driver().RequestCount(), before + 2);
  }
}

}  // namespace
