#include "ui/DataExchange.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "GuiSupport.h"

namespace {

struct SampleForm {
  std::string rated;
  std::string shown;
  int learnState = -1;
  int disabled = 0;
  int stopMode = 0;
};

constexpr int RatedEdit = 1043;
constexpr int ShownLabel = 1081;
constexpr int LearnCombo = 1111;
constexpr int DisableCheck = 1073;
constexpr int StopNormal = 1044, StopUrgent = 1045, StopFree = 1046;

class DataExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TestApp();
    edit = new QLineEdit(&page);
    label = new QLabel(&page);
    combo = new QComboBox(&page);
    combo->addItems({"未学习", "已学习"});
    check = new QCheckBox(&page);
    for (int i = 0; i < 3; ++i) radios[i] = new QRadioButton(&page);
    controls.Add(RatedEdit, edit);
    controls.Add(ShownLabel, label);
    controls.Add(LearnCombo, combo);
    controls.Add(DisableCheck, check);
    controls.Add(StopNormal, radios[0]);
    controls.Add(StopUrgent, radios[1]);
    controls.Add(StopFree, radios[2]);
    ASSERT_TRUE(exchange.BindText(RatedEdit, form.rated, 4));
    ASSERT_TRUE(exchange.BindText(ShownLabel, form.shown));
    ASSERT_TRUE(exchange.BindCombo(LearnCombo, form.learnState));
    ASSERT_TRUE(exchange.BindCheck(DisableCheck, form.disabled));
    constexpr int kStopButtons[] = {StopNormal, StopUrgent, StopFree};
    ASSERT_TRUE(exchange.BindRadio(kStopButtons, form.stopMode));
    page.show();
  }

  QWidget page;
  QLineEdit* edit = nullptr;
  QLabel* label = nullptr;
  QComboBox* combo = nullptr;
  QCheckBox* check = nullptr;
  QRadioButton* radios[3] = {};
  ControlMap controls;
  DataExchange exchange{controls};
  SampleForm form;
};

TEST_F(DataExchangeTest, MovesTheWholeFormBothWays) {
  form.rated = "2.50";
  form.shown = "12%";
  form.learnState = 1;
  form.disabled = 1;
  form.stopMode = 2;
  exchange.UpdateData(false);
  EXPECT_EQ(edit->text(), "2.50");
  EXPECT_EQ(label->text(), "12%");
  EXPECT_EQ(combo->currentIndex(), 1);
  EXPECT_TRUE(check->isChecked());
  EXPECT_TRUE(radios[2]->isChecked());

  edit->setText("3.1");
  combo->setCurrentIndex(0);
  check->setChecked(false);
  radios[0]->setChecked(true);
  exchange.UpdateData(true);
  EXPECT_EQ(form.rated, "3.1");
  EXPECT_EQ(form.learnState, 0);
  EXPECT_EQ(form.disabled, 0);
  EXPECT_EQ(form.stopMode, 0);
}

TEST_F(DataExchangeTest, NoneIsMinusOneForListsAndRadioGroups) {
  form.learnState = -1;
  form.stopMode = -1;
  exchange.UpdateData(false);
  EXPECT_EQ(combo->currentIndex(), -1);
  for (QRadioButton* radio : radios) EXPECT_FALSE(radio->isChecked());
  form.learnState = 5;  // beyond the list: nothing selected either
  form.stopMode = 1;
  exchange.UpdateData(false);
  EXPECT_EQ(combo->currentIndex(), -1);
  form.stopMode = 7;
  exchange.UpdateData(true);
  EXPECT_EQ(form.learnState, -1);
  EXPECT_EQ(form.stopMode, 1);

  form.disabled = 2;
  exchange.UpdateData(false);
  EXPECT_EQ(check->checkState(), Qt::PartiallyChecked);
  exchange.UpdateData(true);
  EXPECT_EQ(form.disabled, 2);
}

TEST_F(DataExchangeTest, CharacterLimitStopsTypingButNotTheProgram) {
  edit->setFocus();
  QTest::keyClicks(edit, "123456");
  EXPECT_EQ(edit->text(), "1234");

  // A read may bring a longer text: shown whole and taken back whole.
  form.rated = "1234567";
  exchange.UpdateData(false);
  EXPECT_EQ(edit->text(), "1234567");
  edit->end(false);
  QTest::keyClick(edit, Qt::Key_Backspace);
  EXPECT_EQ(edit->text(), "123456");
  QTest::keyClicks(edit, "9");  // no longer than it is now
  EXPECT_EQ(edit->text(), "123456");
  exchange.UpdateData(true);
  EXPECT_EQ(form.rated, "123456");

  form.rated = "";
  exchange.UpdateData(false);
  QTest::keyClicks(edit, "98765");
  EXPECT_EQ(edit->text(), "9876");
}

}  // namespace
