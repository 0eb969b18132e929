// The status poll and the traffic display.
#include <QAccessible>
#include <QRegularExpression>
#include <QSignalSpy>
#include <cstring>
#include <QTimer>
#include <map>

#include "MainDlgFixture.h"
#include "driver/RegisterMap.h"
#include "ui/forms/BoxTexts.h"

namespace {

const std::vector<int> kEightLiveFields = {ids::OutputPwm,  ids::PhaseCurrent, ids::CommutationFrequency,
                                           ids::In1Voltage, ids::In2Voltage,  ids::DifferentialVoltage,
                                           ids::Sq1Level,   ids::Sq2Level};
const std::vector<int> kNineKeptFields = {ids::Position,     ids::CompletionTime, ids::In3Voltage,
                                          ids::InputPwm,     ids::InputFrequency, ids::InputPulses,
                                          ids::CompletionState, ids::MotorSpeed,  ids::ErrorState};

// The status block as the simulated driver holds it now.
StatusBlock StatusOf(const sim::SimulatedDriver& driver) {
  uint16_t words[sizeof(StatusBlock) / 2];
  for (uint16_t k = 0; k < std::size(words); ++k) words[k] = driver.Register(static_cast<uint16_t>(0x0020 + k));
  StatusBlock status;
  std::memcpy(&status, words, sizeof status);
  return status;
}

class MonitorTest : public MainDlgTest {
 protected:
  std::map<int, QString> Fields() const {
    std::map<int, QString> texts;
    for (int id = ids::OutputPwm; id <= ids::ErrorState; ++id) texts[id] = Text(id);
    return texts;
  }

  // Waits until the fields show what the driver's status block says.
  bool WaitForFieldsOfDriver() {
    return WaitFor([&] {
      for (const forms::FieldText& field : forms::StatusTexts(StatusOf(line.Driver()))) {
        if (Text(field.controlId) != QString::fromStdString(field.text)) return false;
      }
      return true;
    });
  }

  // Makes the next request the driver gets go unanswered and waits until a
  // poll has sent one: the worker now waits on a silent driver.
  void WaitForPollOnSilentDriver() {
    line.Driver().SetFault(sim::Fault::Of(sim::FaultKind::NoAnswer));
    const uint64_t sent = line.Driver().RequestCount();
    ASSERT_TRUE(WaitFor([&] { return line.Driver().RequestCount() > sent; }));
  }

  QTimer* Ticker() const { return dlg->findChild<QTimer*>(QStringLiteral("statusTimer")); }

  // Waits for `ticks` more ticks of the window's 100 ms timer.
  bool WaitForTicks(int ticks) {
    QSignalSpy spy(Ticker(), &QTimer::timeout);
    return WaitFor([&] { return spy.count() >= ticks; });
  }
};

TEST_F(MonitorTest, PollFillsTheSeventeenFieldsFromTheDriver) {
  for (const auto& [id, text] : Fields()) EXPECT_EQ(text, "-") << id;
  OpenAndPoll();
  ASSERT_TRUE(WaitForFieldsOfDriver());
  for (const auto& [id, text] : Fields()) EXPECT_NE(text, "-") << id;
  // A new motor is idle and not learned.
  EXPECT_EQ(Text(ids::OutputPwm), "0.0%");
  EXPECT_EQ(Text(ids::ErrorState), "未学习");
  EXPECT_TRUE(boxes.Boxes().empty());
}

TEST_F(MonitorTest, SilentDriverTurnsTheEightLiveFieldsToTimeout) {
  OpenAndPoll();
  ASSERT_TRUE(WaitForFieldsOfDriver());
  const std::map<int, QString> before = Fields();

  line.Driver().SetFault(sim::Fault::Of(sim::FaultKind::NoAnswer));
  ASSERT_TRUE(WaitFor([&] { return Text(ids::OutputPwm) == "通讯超时"; }));
  ASSERT_TRUE(WaitForTicks(2));
  for (int id : kEightLiveFields) EXPECT_EQ(Text(id), "通讯超时") << id;
  for (int id : kNineKeptFields) EXPECT_EQ(Text(id), before.at(id)) << id;
  EXPECT_TRUE(boxes.Boxes().empty());

  line.Driver().ClearFault();
  EXPECT_TRUE(WaitForFieldsOfDriver());
}

TEST_F(MonitorTest, TrafficShowsThePollsRequestAndReplyAndRewritesOnlyChanges) {
  EXPECT_EQ(Text(ids::SentFrame), "");
  OpenAndPoll();
  ASSERT_TRUE(WaitFor([&] { return Text(ids::SentFrame) == "01 03 00 20 00 16 C5 CE "; }))
      << Text(ids::SentFrame).toStdString();
  ASSERT_TRUE(WaitFor([&] { return Text(ids::ReceivedFrame).size() == 3 * (3 + 44 + 2); }));
  EXPECT_TRUE(Text(ids::ReceivedFrame).startsWith("01 03 2C ")) << Text(ids::ReceivedFrame).toStdString();
  EXPECT_EQ(Get<QLineEdit>(ids::ReceivedFrame)->cursorPosition(), 0);  // shown from its first byte

  // The same request every tick: the edit is not rewritten, so a selection
  // the operator made stays.
  auto* sent = Get<QLineEdit>(ids::SentFrame);
  sent->setSelection(0, 5);
  QSignalSpy rewrites(sent, &QLineEdit::textChanged);
  const uint64_t polls = line.Driver().RequestCount();
  ASSERT_TRUE(WaitFor([&] { return line.Driver().RequestCount() >= polls + 3; }));
  EXPECT_EQ(rewrites.count(), 0);
  EXPECT_EQ(sent->selectedText(), "01 03");
}

TEST_F(MonitorTest, NoPollWhileThePortIsClosedOrAutoUpdateIsOff) {
  Click(ids::AutoUpdate);  // ticked, port closed
  ASSERT_TRUE(WaitForTicks(3));
  EXPECT_EQ(line.Driver().RequestCount(), 0u);
  EXPECT_EQ(Text(ids::OutputPwm), "-");

  Click(ids::AutoUpdate);  // off again, port open
  Click(ids::OpenPortButton);
  ASSERT_TRUE(WaitForTicks(3));
  EXPECT_EQ(line.Driver().RequestCount(), 0u);

  Click(ids::AutoUpdate);
  ASSERT_TRUE(WaitFor([&] { return line.Driver().RequestCount() > 0; }));
  ASSERT_TRUE(WaitForFieldsOfDriver());
  // Closing the port stops the poll; the fields keep their texts.
  const std::map<int, QString> before = Fields();
  Click(ids::OpenPortButton);
  const uint64_t polls = line.Driver().RequestCount();
  ASSERT_TRUE(WaitForTicks(3));
  EXPECT_EQ(line.Driver().RequestCount(), polls);
  EXPECT_EQ(Fields(), before);
}

TEST_F(MonitorTest, AddressSwitchRedirectsTheNextPoll) {
  line.Driver().SetAddress(3);
  OpenAndPoll();  // address 1: nobody answers
  ASSERT_TRUE(WaitFor([&] { return Text(ids::OutputPwm) == "通讯超时"; }));
  // The display shows a poll on the tick after it.
  EXPECT_TRUE(WaitFor([&] { return Text(ids::SentFrame).startsWith("01 03 00 20 00 16 "); }));

  Click(ids::FirstAddressSwitch + 1);  // "2": weight 2, address 3
  EXPECT_EQ(dlg->m_address, 3);
  ASSERT_TRUE(WaitFor([&] { return Text(ids::SentFrame).startsWith("03 03 00 20 00 16 "); }));
  EXPECT_TRUE(WaitForFieldsOfDriver());
  EXPECT_TRUE(boxes.Boxes().empty());
}

// The read waits on the worker: ticks that come meanwhile send no request
// (no backlog) and the window goes on handling its events.
TEST_F(MonitorTest, WindowTicksOnWhileAPollWaitsOnASilentDriver) {
  line.Driver().SetFault(sim::Fault::Of(sim::FaultKind::NoAnswer));
  OpenAndPoll();
  int quietTicks = 0;
  uint64_t seen = 0;
  QObject context;
  QObject::connect(Ticker(), &QTimer::timeout, &context, [&] {
    const uint64_t now = line.Driver().RequestCount();
    if (now > 0 && now == seen) ++quietTicks;
    seen = now;
  });
  EXPECT_TRUE(WaitFor([&] { return quietTicks >= 3; }));
  EXPECT_TRUE(WaitFor([&] { return Text(ids::OutputPwm) == "通讯超时"; }));
}

// A poll still waiting when the port closes or "自动更新" is unticked
// changes no field when it ends.
TEST_F(MonitorTest, PollThatEndsAfterCloseOrUntickShowsNothing) {
  for (const int control : {ids::OpenPortButton, ids::AutoUpdate}) {
    SCOPED_TRACE(control);
    line.Driver().ClearFault();
    if (!dlg->m_link.IsOpen()) Click(ids::OpenPortButton);
    if (!Get<QAbstractButton>(ids::AutoUpdate)->isChecked()) Click(ids::AutoUpdate);
    ASSERT_TRUE(WaitForFieldsOfDriver());
    WaitForPollOnSilentDriver();
    const std::map<int, QString> before = Fields();

    Click(control);
    ASSERT_TRUE(WaitFor([&] { return !dlg->StatusPollRunning(); }));
    ASSERT_TRUE(WaitForTicks(2));  // what the poll posted has been handled
    EXPECT_EQ(Fields(), before);
  }
}

// A button's transaction stays on the window's thread and waits for the link
// while a poll is out; it gets its own answer, as without polling.
TEST_F(MonitorTest, ButtonReadWhileAPollIsOutGetsItsOwnAnswer) {
  line.Driver().SetRegister(0x0000, 0x00AB);
  line.Driver().SetFault(sim::Fault::Delayed(std::chrono::milliseconds(200)));
  OpenAndPoll();
  for (int round = 0; round < 3; ++round) {
    ASSERT_TRUE(WaitFor([&] { return dlg->StatusPollRunning(); }));
    Click(ids::ReadInfoButton);
  }
  EXPECT_TRUE(boxes.Boxes().empty()) << boxes.Texts().front().toStdString();
  EXPECT_EQ(Text(ids::DeviceId), "0x00AB");
  EXPECT_TRUE(WaitFor([&] { return Text(ids::ErrorState) == "未学习"; }));
}

TEST_F(MonitorTest, ClosingTheWindowWhileAPollWaitsEndsIt) {
  OpenAndPoll();
  WaitForPollOnSilentDriver();
  dlg.reset();
  EXPECT_EQ(g_pMainDlg, nullptr);
  DriverLink next;  // the line is free again
  EXPECT_NE(next.OpenPort(1, 9600, Parity::None2), 0);
}

// The statistics line counts what the polls met: one exception answer and
// one time-out, each poll as a transaction, and polls coming back.
TEST_F(MonitorTest, StatisticsLineCountsATimeOutAndAnExceptionAnswer) {
  OpenAndPoll();
  ASSERT_TRUE(WaitForFieldsOfDriver());
  line.Driver().SetFault(sim::Fault::ExceptionCode(0x04, 1));
  ASSERT_TRUE(WaitFor([&] { return Text(ids::StatisticsLine).contains("异常 1 "); }))
      << Text(ids::StatisticsLine).toStdString();
  line.Driver().SetFault(sim::Fault::Of(sim::FaultKind::NoAnswer, 1));
  ASSERT_TRUE(WaitFor([&] { return Text(ids::StatisticsLine).contains("超时 1 "); }))
      << Text(ids::StatisticsLine).toStdString();
  // A poll after the time-out has come back and been counted.
  const uint64_t requests = line.Driver().RequestCount();
  ASSERT_TRUE(WaitFor([&] { return line.Driver().RequestCount() > requests && !dlg->StatusPollRunning(); }));
  ASSERT_TRUE(WaitForTicks(1));

  static const QRegularExpression shape(
      "^收发 (\\d+)  成功 (\\d+)  超时 1  错误 0  异常 1  往返 [0-9.]+/[0-9.]+ ms  轮询 ([0-9]+\\.[0-9]) 次/秒$");
  const QRegularExpressionMatch match = shape.match(Text(ids::StatisticsLine));
  ASSERT_TRUE(match.hasMatch()) << Text(ids::StatisticsLine).toStdString();
  EXPECT_EQ(match.captured(1).toULongLong(), match.captured(2).toULongLong() + 2);
  EXPECT_GE(match.captured(2).toULongLong(), 2u);
  EXPECT_GT(match.captured(3).toDouble(), 0.0);
  EXPECT_TRUE(boxes.Boxes().empty());
}

// A screen reader toggles "自动更新" without a click; polling starts all the
// same.
TEST_F(MonitorTest, AccessibilityToggleStartsAndStopsThePoll) {
  Click(ids::OpenPortButton);
  QAccessibleInterface* box = QAccessible::queryAccessibleInterface(Get<QAbstractButton>(ids::AutoUpdate));
  ASSERT_NE(box, nullptr);
  ASSERT_NE(box->actionInterface(), nullptr);
  box->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  ASSERT_TRUE(WaitForFieldsOfDriver());

  box->actionInterface()->doAction(QAccessibleActionInterface::toggleAction());
  ASSERT_TRUE(WaitFor([&] { return !dlg->StatusPollRunning(); }));
  const uint64_t polls = line.Driver().RequestCount();
  ASSERT_TRUE(WaitForTicks(3));
  EXPECT_EQ(line.Driver().RequestCount(), polls);
}

}  // namespace
