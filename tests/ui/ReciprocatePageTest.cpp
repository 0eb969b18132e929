// The "往复运动" page through the real window against the simulated driver:
// the two groups on their own, the speeds' scale, the test commands and
// the stroke watch.
#include "EdgePageFixture.h"
#include "ui/forms/ReciprocateForm.h"

namespace {

using namespace std::chrono_literals;
namespace rec = forms::reciprocate;

constexpr uint16_t ReciprocateBlock = 0x00A0;
constexpr uint16_t PresetBlock = 0x00B0;
constexpr uint16_t CommandRegister = 0x00AA;
constexpr int Stroke = 1098;
constexpr int ForwardSpeed = 1121;
constexpr int SpeedMode = 1123;

using ReciprocatePage = EdgePageTest<CReciprocatePage>;

TEST_F(ReciprocatePage, EachGroupIsReadAndConfiguredOnItsOwn) {
  OpenPort();
  EXPECT_FALSE(Enabled(rec::ConfigureReciprocateButton));
  EXPECT_FALSE(Enabled(rec::ConfigurePresetButton));

  const std::vector<uint16_t> reciprocation = Registers(ReciprocateBlock, 10);
  Press(rec::ReadReciprocateButton);
  EXPECT_EQ(EditText(Stroke), "100000");
  EXPECT_TRUE(Enabled(rec::ConfigureReciprocateButton));
  EXPECT_FALSE(Enabled(rec::ConfigurePresetButton));
  EXPECT_EQ(EditText(ForwardSpeed), "") << "the other group is left alone";

  const std::vector<uint16_t> preset = Registers(PresetBlock, 4);
  Press(rec::ReadPresetButton);
  EXPECT_EQ(EditText(ForwardSpeed), "12.34") << "torque mode counts 0.01";
  EXPECT_TRUE(Enabled(rec::ConfigurePresetButton));

  // Typing in one group survives a read of the other.
  Type(ForwardSpeed, "7.77");
  Press(rec::ReadReciprocateButton);
  EXPECT_EQ(EditText(ForwardSpeed), "7.77");
  Type(ForwardSpeed, "12.34");

  Press(rec::ConfigureReciprocateButton);
  EXPECT_EQ(WrittenWords(), reciprocation);
  Press(rec::ConfigurePresetButton);
  EXPECT_EQ(WrittenWords(), preset);
  EXPECT_EQ(Shown(), (std::vector<QString>{"操作成功", "操作成功"}));

  // The same texts in duty-cycle mode count 0.1: 12.34 and 5.67 round.
  Pick(SpeedMode, 0);
  Press(rec::ConfigurePresetButton);
  EXPECT_EQ(Registers(PresetBlock, 4), (std::vector<uint16_t>{0, preset[1], 123, 57}));
}

TEST_F(ReciprocatePage, RefusedStrokeSendsNothing) {
  OpenPort();
  Press(rec::ReadReciprocateButton);
  const uint64_t before = Requests();
  for (const char* text : {"4294967296", "-1", "1.5e3x"}) {
    Type(Stroke, text);
    Press(rec::ConfigureReciprocateButton);
    EXPECT_EQ(Shown().back(), "总行程: 请输入 0 到 4294967295 之间的数值") << text;
  }
  EXPECT_EQ(Requests(), before);
  Type(Stroke, "4294967295");
  Press(rec::ConfigureReciprocateButton);
  EXPECT_EQ(Registers(ReciprocateBlock + 2, 2), (std::vector<uint16_t>{0xFFFF, 0xFFFF}));
}

TEST_F(ReciprocatePage, StrokeWatchEndsWithOneReadOfItsGroup) {
  OpenPort();
  Press(rec::ReadReciprocateButton);
  Press(rec::ReadPresetButton);
  Type(ForwardSpeed, "9.99");

  Press(rec::MeasureStrokeButton);
  ASSERT_TRUE(page->IsMeasuring());
  // The driver's clock stands still, so the register keeps reading 4.
  const uint64_t started = Requests();
  ASSERT_TRUE(WaitFor([&] { return Requests() >= started + 2; }));
  EXPECT_EQ(line.Driver().Register(CommandRegister), 4);
  EXPECT_TRUE(page->IsMeasuring());
  EXPECT_EQ(EditText(Stroke), "100000");

  Advance(3100ms);  // past the measurement
  ASSERT_TRUE(WaitFor([&] { return EditText(Stroke) == "50000"; }));
  EXPECT_FALSE(page->IsMeasuring());
  EXPECT_EQ(EditText(ForwardSpeed), "9.99") << "only the reciprocation group is read";
  const uint64_t ended = Requests();
  page->OnTimer();
  EXPECT_EQ(Requests(), ended) << "no more watching";
  EXPECT_TRUE(Shown().empty());
}

TEST_F(ReciprocatePage, FailedMeasureStartsNoWatchAndCancelLeavesItRunning) {
  Press(rec::MeasureStrokeButton);  // the port is closed
  EXPECT_FALSE(page->IsMeasuring());
  OpenPort();
  line.Driver().SetRegister(0x0075, 0);  // the motor is no longer learned
  Press(rec::MeasureStrokeButton);
  EXPECT_FALSE(page->IsMeasuring());
  ASSERT_EQ(Shown().size(), 2u);
  EXPECT_EQ(Shown()[1], "请先对电机进行学习");
  line.Driver().SetRegister(0x0075, 1);

  // Homing holds the register at its code until the limit is reached.
  const std::pair<int, uint16_t> homing[] = {{rec::ResetSq2Button, 3}, {rec::ResetSq1Button, 2}};
  for (const auto& [button, code] : homing) {
    Press(button);
    EXPECT_EQ(line.Driver().Register(CommandRegister), code) << button;
    Press(rec::CancelButton);
    EXPECT_EQ(line.Driver().Register(CommandRegister), 0) << button;
  }

  Press(rec::MeasureStrokeButton);
  ASSERT_TRUE(page->IsMeasuring());
  On<QAbstractButton>(rec::CancelButton)->click();
  EXPECT_TRUE(page->IsMeasuring()) << "cancel does not stop the watch";
  // The driver has stopped; the next tick sees 0 and ends the watch.
  ASSERT_TRUE(WaitFor([&] { return !page->IsMeasuring(); }));
  EXPECT_EQ(EditText(Stroke), "100000");
  EXPECT_EQ(Shown().size(), 2u);
}

}  // namespace
