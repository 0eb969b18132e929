// The "PID参数" page against the simulated driver, and the binding of every
// page built from field tables.
#include <bit>

#include "PageFixture.h"
#include "ui/TabCtrl.h"
#include "ui/forms/PidParamForm.h"

namespace {

namespace pid = forms::pid;

TEST_F(PageTest, EveryTablePageBuildsAndBindsAll) {
  for (CTabPage* page : dlg->Pages()) {
    if (auto* fields = dynamic_cast<CFieldPage*>(page)) {
      EXPECT_TRUE(fields->IsBound()) << page->TemplateId();
    }
  }
}

TEST_F(PageTest, PidReadShowsEachGainInItsRowAndConfigureWritesBackTheSameBits) {
  constexpr uint16_t Block = 0x00BA;
  SetFloatAt(Block, 0x4996B438);       // holding Kp 1234567: "%g" would lose it
  SetFloatAt(Block + 2, 0x33D6BF95);   // holding Ki 1e-7
  SetFloatAt(Block + 6, 0x3F800000);   // speed Kp 1.0
  SetFloatAt(Block + 8, 0x3DCCCCCD);   // speed Ki 0.1
  auto* configure = On<QAbstractButton>(Pid, pid::ConfigureButton);
  EXPECT_FALSE(configure->isEnabled());

  Press(Pid, pid::ReadButton);  // port closed
  EXPECT_EQ(boxes.Texts(), std::vector<QString>{"串口未打开"});
  EXPECT_FALSE(configure->isEnabled());

  Click(ids::OpenPortButton);
  Press(Pid, pid::ReadButton);
  EXPECT_EQ(boxes.Boxes().size(), 1u);  // a read that succeeds says nothing
  EXPECT_TRUE(configure->isEnabled());
  EXPECT_EQ(TextOn(Pid, 1057), "1234567");  // bottom row, first column
  EXPECT_EQ(TextOn(Pid, 1061), "1e-07");
  EXPECT_EQ(TextOn(Pid, 1052), "1");  // top row
  EXPECT_EQ(TextOn(Pid, 1053), "0.1");
  EXPECT_EQ(TextOn(Pid, 1060), "0.5");

  std::vector<uint16_t> before;
  for (uint16_t k = 0; k < 18; ++k) before.push_back(line.Driver().Register(Block + k));
  for (uint16_t k = 0; k < 18; ++k) line.Driver().SetRegister(Block + k, 0);
  Press(Pid, pid::ConfigureButton);
  EXPECT_EQ(boxes.Texts().back(), "操作成功");
  for (uint16_t k = 0; k < 18; ++k) EXPECT_EQ(line.Driver().Register(Block + k), before[k]) << k;

  Type(Pid, 1052, "2.5");
  Press(Pid, pid::ConfigureButton);
  EXPECT_EQ(FloatAt(Block + 6), 2.5f);
  EXPECT_EQ(std::bit_cast<uint32_t>(FloatAt(Block)), 0x4996B438u);
}

TEST_F(PageTest, PidEntryThatIsNoNumberIsRefusedAndNothingIsSent) {
  Click(ids::OpenPortButton);
  Press(Pid, pid::ReadButton);
  Type(Pid, 1059, "1.5x");
  const uint64_t requests = line.Driver().RequestCount();
  Press(Pid, pid::ConfigureButton);
  EXPECT_EQ(line.Driver().RequestCount(), requests);
  EXPECT_EQ(boxes.Texts().back(), "位置PID参数 Ki: 请输入 -3.4028235e+38 到 3.4028235e+38 之间的数值");
  EXPECT_EQ(TextOn(Pid, 1059), "1.5x");
}

}  // namespace
