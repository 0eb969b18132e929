// The "电机控制" page in the real window against the simulated driver: each
// button reaches its register, the ramps are read into their own edits and
// set as typed, and the slider maxima are clamped as they are left.
#include <QFocusEvent>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>

#include "WindowPageTest.h"
#include "ui/forms/MotorControlForm.h"

namespace {

namespace id = forms::motorcontrol::id;

class MotorControlPageTest : public WindowPageTest<CMotorControlPage> {
 protected:
  MotorControlPageTest() : WindowPageTest(sim::DriverOptions{.learned = true}) {}

  void SetUp() override {
    WindowPageTest::SetUp();
    Click(ids::OpenPortButton);
    ASSERT_TRUE(dlg->m_link.IsOpen());
  }

  void Type(int controlId, const QString& text) { On<QLineEdit>(controlId)->setText(text); }
  QString TextOf(int controlId) const {
    if (auto* label = qobject_cast<QLabel*>(page->Control(controlId))) return label->text();
    return On<QLineEdit>(controlId)->text();
  }
  uint16_t Reg(uint16_t address) { return line.Driver().Register(address); }
};

TEST_F(MotorControlPageTest, EachCommandReachesItsRegisters) {
  auto* pwm = On<QSlider>(id::PwmSlider);
  auto* frequency = On<QSlider>(id::FrequencySlider);
  auto* position = On<QSlider>(id::PositionSlider);
  EXPECT_EQ(pwm->minimum(), -1000);
  EXPECT_EQ(frequency->maximum(), 10000);
  EXPECT_EQ(position->minimum(), -10000);
  EXPECT_EQ(TextOf(id::PwmLabel), "0.0%");
  EXPECT_EQ(TextOf(id::FrequencyLabel), "0.0Hz");
  EXPECT_EQ(TextOf(id::PositionLabel), "0");

  pwm->setValue(-1000);
  EXPECT_TRUE(WaitFor([&] { return TextOf(id::PwmLabel) == "-100.0%"; })) << "the timer follows the slider";
  Press(id::RunPwm);
  EXPECT_EQ(Reg(0x0042), 0xFC18);

  frequency->setValue(-1234);
  Press(id::RunFrequency);
  EXPECT_EQ(Reg(0x0043), static_cast<uint16_t>(-1234));

  On<QRadioButton>(id::FreeStop)->click();
  Press(id::Stop);
  EXPECT_EQ(Reg(0x0040), 2);

  Type(id::PositionMax, "70000");
  position->setValue(70000);
  On<QRadioButton>(id::RelativePosition)->click();
  Type(id::MoveFrequency, "7000");
  Press(id::RunPosition);
  EXPECT_EQ((std::vector<uint16_t>{Reg(0x0044), Reg(0x0045), Reg(0x0046), Reg(0x0047)}),
            (std::vector<uint16_t>{65535, 1, 0x0001, 0x1170}));

  position->setValue(-1);
  On<QRadioButton>(id::AbsolutePosition)->click();
  Type(id::MoveFrequency, "0");
  Press(id::RunPosition);
  EXPECT_EQ((std::vector<uint16_t>{Reg(0x0044), Reg(0x0045), Reg(0x0046), Reg(0x0047)}),
            (std::vector<uint16_t>{1, 0, 0xFFFF, 0xFFFF}));
  EXPECT_EQ(TextOf(id::MoveFrequency), "0") << "the clamp is not written back";
  EXPECT_TRUE(boxes.Boxes().empty()) << "commands show only failures";

  // A move frequency that is no number is refused and nothing is sent.
  const std::vector<uint8_t> before = dlg->m_link.LastSentFrame();
  Type(id::MoveFrequency, "");
  Press(id::RunPosition);
  EXPECT_EQ(dlg->m_link.LastSentFrame(), before);
  EXPECT_EQ(boxes.Texts(), std::vector<QString>{"换向频率: 请输入 0.1 到 6553.5 之间的数值"});
  EXPECT_EQ(dlg->focusWidget(), page->Control(id::MoveFrequency));

  // A command the driver refuses shows its text.
  line.Driver().SetRegister(0x0075, 0);
  Press(id::RunPwm);
  EXPECT_EQ(boxes.Texts().back(), "请先对电机进行学习");
}

TEST_F(MotorControlPageTest, RampsAreReadIntoTheirEditsOnlyAndSetAsTyped) {
  const uint16_t read[4] = {5, 0, 5000, 65535};
  for (uint16_t i = 0; i < 4; ++i) line.Driver().SetRegister(static_cast<uint16_t>(0x0050 + i), read[i]);
  Type(id::MoveFrequency, "123.4");
  Type(id::FrequencyMax, "2000");
  Press(id::ReadRamp);
  EXPECT_EQ((std::vector<QString>{TextOf(id::PwmRise), TextOf(id::PwmFall), TextOf(id::Acceleration),
                                  TextOf(id::Deceleration)}),
            (std::vector<QString>{"0.5", "0.0", "500.0", "6553.5"}));
  EXPECT_EQ(TextOf(id::MoveFrequency), "123.4") << "typed, not yet sent: it stays";
  EXPECT_EQ(TextOf(id::FrequencyMax), "2000");
  EXPECT_TRUE(boxes.Boxes().empty());

  Type(id::PwmRise, "0.3");
  Type(id::PwmFall, "0.7");
  Type(id::Acceleration, "6553.5");
  Type(id::Deceleration, "7000");
  Press(id::SetRamp);
  EXPECT_EQ((std::vector<uint16_t>{Reg(0x0050), Reg(0x0051), Reg(0x0052), Reg(0x0053)}),
            (std::vector<uint16_t>{3, 7, 65535, 65535}));
  EXPECT_EQ(boxes.Texts(), std::vector<QString>{"操作成功"});

  const std::vector<uint8_t> before = dlg->m_link.LastSentFrame();
  Type(id::PwmRise, "-1");
  Press(id::SetRamp);
  EXPECT_EQ(dlg->m_link.LastSentFrame(), before);
  EXPECT_EQ(boxes.Texts().back(), "PWM上升缓冲: 请输入 0.0 到 6553.5 之间的数值");
  EXPECT_EQ(Reg(0x0050), 3);
}

TEST_F(MotorControlPageTest, SliderMaximaAreClampedAsTheyAreLeft) {
  auto* maximum = On<QLineEdit>(id::FrequencyMax);
  auto* frequency = On<QSlider>(id::FrequencySlider);
  struct Case {
    const char* typed;
    const char* shown;
    int limit;
  };
  for (const Case& c : {Case{"5000", "3276.7", 32767}, Case{"0", "0.1", 1}, Case{"12.34", "12.3", 123}}) {
    maximum->setText(c.typed);
    QFocusEvent left(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(maximum, &left);
    EXPECT_EQ(maximum->text(), c.shown);
    EXPECT_EQ(frequency->minimum(), -c.limit);
    EXPECT_EQ(frequency->maximum(), c.limit);
  }

  auto* positionMax = On<QLineEdit>(id::PositionMax);
  auto* position = On<QSlider>(id::PositionSlider);
  positionMax->clear();
  EXPECT_EQ(positionMax->text(), "1");
  EXPECT_EQ(position->maximum(), 1);
  positionMax->selectAll();
  positionMax->insert("-50");  // as a paste
  EXPECT_EQ(positionMax->text(), "1");
  positionMax->setText("123");
  positionMax->setFocus();
  positionMax->end(false);
  QTest::keyClick(positionMax, Qt::Key_A);
  EXPECT_EQ(positionMax->text(), "123");
  EXPECT_EQ(position->minimum(), -123);
}

}  // namespace
