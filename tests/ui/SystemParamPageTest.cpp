// The "系统参数" page through the real window against the simulated driver.
#include "EdgePageFixture.h"
#include "ui/forms/SystemParamForm.h"

namespace {

namespace sys = forms::sysparam;

constexpr uint16_t Block = 0x0080;
constexpr uint16_t Count = 26;

using SystemParamPage = EdgePageTest<CSystemParamPage>;

TEST_F(SystemParamPage, ReadShowsTheDriverAsItIsAndConfigureWritesBackTheWordsRead) {
  EXPECT_FALSE(Enabled(sys::ConfigureButton));
  Press(sys::ReadButton);  // the port is still closed
  EXPECT_EQ(Shown().size(), 1u);
  EXPECT_FALSE(Enabled(sys::ConfigureButton));

  OpenPort();
  const std::vector<uint16_t> read = Registers(Block, Count);
  Press(sys::ReadButton);
  EXPECT_EQ(Shown().size(), 1u) << "a read says nothing when it succeeds";
  EXPECT_TRUE(Enabled(sys::ConfigureButton));
  // 14400 bit/s is an item of its own, not "9600"; 5 is no item at all.
  EXPECT_EQ(On<QComboBox>(1002)->currentText(), "14400");
  EXPECT_EQ(Index(1067), -1);
  // "差分信号" is selected by the read, and the range stays as read.
  EXPECT_EQ(Index(sys::AnalogTypeList), 1);
  EXPECT_EQ(EditText(1107), "10.000");
  EXPECT_EQ(EditText(1106), "65.535");
  EXPECT_EQ(EditText(1111), "-0.500");
  EXPECT_EQ(EditText(1109), "1e-07");
  EXPECT_EQ(EditText(1048), "123.4") << "longer than its edit, shown whole";

  Press(sys::ConfigureButton);
  EXPECT_EQ(Shown().back(), "操作成功");
  EXPECT_EQ(WrittenWords(), read);
  EXPECT_EQ(Registers(Block, Count), read);
}

TEST_F(SystemParamPage, RefusedEntrySendsNothingAndNamesTheField) {
  OpenPort();
  Press(sys::ReadButton);
  Type(1106, "-1");
  const uint64_t before = Requests();
  Press(sys::ConfigureButton);
  EXPECT_EQ(Shown().back(), "模拟信号范围下限: 请输入 0.000 到 65.535 之间的数值");
  EXPECT_EQ(Requests(), before);
  EXPECT_EQ(EditText(1106), "-1") << "the form stays as typed";
}

TEST_F(SystemParamPage, ListDefaultsFollowTheOperatorsChoiceAndSendNothing) {
  OpenPort();
  Press(sys::ReadButton);
  const uint64_t before = Requests();
  Pick(sys::AnalogTypeList, 3);
  EXPECT_EQ(EditText(1106), "0.000");
  EXPECT_EQ(EditText(1107), "5.000");
  Pick(sys::LogicLevelList, 3);
  EXPECT_EQ(EditText(1108), "5.000");
  Pick(sys::LogicLevelList, 2);
  EXPECT_EQ(EditText(1108), "3.000");
  EXPECT_EQ(Requests(), before);
  EXPECT_EQ(Shown().size(), 0u);

  // A new read brings the driver's texts back, whatever is selected.
  Press(sys::ReadButton);
  EXPECT_EQ(EditText(1107), "10.000");
  EXPECT_EQ(EditText(1108), "2.500");
}

}  // namespace
