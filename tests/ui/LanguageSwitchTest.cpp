// The window in English and back to Chinese, switched from its menu while
// the port is open: captions, tabs, menus, tooltips and the texts the
// window makes from values, against the simulated driver.
#include <QActionGroup>
#include <QGroupBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QRegularExpression>
#include <QTabBar>
#include <fstream>
#include <sstream>

#include "WindowPageTest.h"
#include "lang/Texts.h"
#include "ui/LanguageSetting.h"
#include "ui/TabCtrl.h"
#include "ui/forms/MotorControlForm.h"

namespace {

namespace mc = forms::motorcontrol;

class LanguageSwitchTest : public WindowPageTest<CMotorControlPage> {
 protected:
  void TearDown() override {
    WindowPageTest::TearDown();
    lang::Use(lang::Language::Chinese);
  }

  // "帮助" → "语言 / Language" → `item`, as the operator chooses it.
  void ChooseLanguage(const char* item) {
    auto* menu = dlg->findChild<QMenu*>(QStringLiteral("languageMenu"));
    ASSERT_NE(menu, nullptr);
    for (QAction* action : menu->actions()) {
      if (action->text() == QString::fromUtf8(item)) return action->trigger();
    }
    ADD_FAILURE() << "no language item " << item;
  }
  QString Checked() const {
    auto* menu = dlg->findChild<QMenu*>(QStringLiteral("languageMenu"));
    for (QAction* action : menu->actions()) {
      if (action->isChecked()) return action->text();
    }
    return {};
  }
  static std::string Saved() {
    std::ifstream file(ui::LanguageSettingPath());
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
  }
  QString GroupTitleContaining(const QString& part) const {
    for (auto* group : dlg->findChildren<QGroupBox*>()) {
      if (group->title().contains(part)) return group->title();
    }
    return {};
  }

  // The window's own captions in one language, by where they are shown.
  struct Shown {
    QString openButton, autoUpdate, firstTab, lastTab, fileMenu, stopTooltip, readButton, statisticsStart;
  };
  Shown Now() const {
    QTabBar* tabs = dlg->TabControl()->TabBar();
    return {Text(ids::OpenPortButton),
            Text(ids::AutoUpdate),
            tabs->tabText(0),
            tabs->tabText(tabs->count() - 1),
            dlg->MenuOf(CMainDlg::Menu::File)->title(),
            page->Control(mc::id::Stop)->toolTip(),
            On<QAbstractButton>(mc::id::ReadRamp)->text(),
            Text(ids::StatisticsLine).section(QLatin1Char(' '), 0, 0)};
  }
  static void Expect(const Shown& shown, const Shown& wanted) {
    const std::pair<QString, QString> pairs[] = {
        {shown.openButton, wanted.openButton},   {shown.autoUpdate, wanted.autoUpdate},
        {shown.firstTab, wanted.firstTab},       {shown.lastTab, wanted.lastTab},
        {shown.fileMenu, wanted.fileMenu},       {shown.stopTooltip, wanted.stopTooltip},
        {shown.readButton, wanted.readButton},   {shown.statisticsStart, wanted.statisticsStart},
    };
    for (const auto& [is, should] : pairs) EXPECT_EQ(is, should);
  }

  // Every text the window shows that still holds a Chinese character, but
  // for the language menu, which names each language in its own words.
  QStringList ChineseLeft() const {
    static const QRegularExpression chinese(QStringLiteral("[\\x{4e00}-\\x{9fff}]"));
    auto* languageMenu = dlg->findChild<QMenu*>(QStringLiteral("languageMenu"));
    QStringList left;
    auto take = [&](const QObject* where, const QString& text) {
      if (text.contains(chinese)) left << where->metaObject()->className() + QStringLiteral(": ") + text;
    };
    QList<QWidget*> widgets = dlg->findChildren<QWidget*>();
    widgets << dlg.get();
    for (QWidget* w : widgets) {
      take(w, w->toolTip());
      take(w, w->accessibleName());
      if (w->isWindow()) take(w, w->windowTitle());
      if (auto* label = qobject_cast<QLabel*>(w)) take(w, label->text());
      if (auto* button = qobject_cast<QAbstractButton*>(w)) take(w, button->text());
      if (auto* group = qobject_cast<QGroupBox*>(w)) take(w, group->title());
      if (auto* edit = qobject_cast<QLineEdit*>(w)) take(w, edit->text() + edit->placeholderText());
      if (auto* list = qobject_cast<QComboBox*>(w)) {
        for (int i = 0; i < list->count(); ++i) take(w, list->itemText(i));
      }
      if (auto* tabs = qobject_cast<QTabBar*>(w)) {
        for (int i = 0; i < tabs->count(); ++i) take(w, tabs->tabText(i));
      }
      if (auto* menu = qobject_cast<QMenu*>(w); menu && menu != languageMenu) {
        take(w, menu->title());
        for (QAction* action : menu->actions()) {
          if (action->menu() != languageMenu) take(w, action->text() + action->toolTip());
        }
      }
    }
    return left;
  }

  void RefuseFrequency() {
    On<QLineEdit>(mc::id::MoveFrequency)->setText(QString());
    Press(mc::id::RunPosition);
  }
};

TEST_F(LanguageSwitchTest, EnglishAtRunTimeThroughAReadAndARefusalThenBackToChinese) {
  EXPECT_EQ(Checked(), QString::fromUtf8("跟随系统 / System"));
  const QSize chineseSize = dlg->size();
  ChooseLanguage("English");
  EXPECT_EQ(lang::InUse(), lang::Language::English);
  EXPECT_EQ(Saved(), "en\n");
  EXPECT_EQ(Checked(), QStringLiteral("English"));
  Expect(Now(), {"Open port", "Auto update", "Motor control", "Reciprocation", "&File",
                 "Stop the motor (F9: on every page and in every window of this tool)", "Read", "Transactions"});
  EXPECT_EQ(GroupTitleContaining(QStringLiteral("Communication")), QStringLiteral("Communication settings"));

  // Open, poll, read a page: the texts the window makes follow the language.
  OpenAndPoll();
  EXPECT_EQ(Text(ids::OpenPortButton), QStringLiteral("Close port"));
  const uint16_t ramps[4] = {5, 0, 5000, 65535};
  for (uint16_t i = 0; i < 4; ++i) line.Driver().SetRegister(static_cast<uint16_t>(0x0050 + i), ramps[i]);
  Press(mc::id::ReadRamp);
  EXPECT_EQ(On<QLineEdit>(mc::id::Acceleration)->text(), QStringLiteral("500.0"));
  ASSERT_TRUE(WaitFor([&] { return !Text(ids::OutputPwm).startsWith(QLatin1Char('-')); })) << "no status shown";
  EXPECT_TRUE(Text(ids::StatisticsLine).startsWith(QStringLiteral("Transactions ")));

  // A refusal is made when it happens, in the language then in use.
  const size_t before = boxes.Boxes().size();
  RefuseFrequency();
  ASSERT_EQ(boxes.Boxes().size(), before + 1);
  EXPECT_EQ(dlg->focusWidget(), page->Control(mc::id::MoveFrequency));
  EXPECT_EQ(boxes.Texts().back(), QStringLiteral("Commutation frequency: enter a value from 0.1 to 6553.5"));
  // Nothing left in Chinese on any page, list, menu or tooltip.
  EXPECT_EQ(ChineseLeft(), QStringList());

  // Back to Chinese with the port open: today's texts, the button as the
  // port is, the same refusal in Chinese.
  ChooseLanguage("中文");
  EXPECT_EQ(lang::InUse(), lang::Language::Chinese);
  EXPECT_EQ(Saved(), "zh\n");
  EXPECT_EQ(Checked(), QString::fromUtf8("中文"));
  EXPECT_EQ(dlg->size(), chineseSize) << "the Chinese layout as it was";
  Expect(Now(), {"关闭串口", "自动更新", "电机控制", "往复运动", "文件(&F)",
                 "停止电机 (F9: 在本工具的任何页面和窗口中均可)", "读取", "收发"});
  EXPECT_EQ(GroupTitleContaining(QString::fromUtf8("通讯")), QString::fromUtf8("通讯设置"));
  RefuseFrequency();
  EXPECT_EQ(boxes.Texts().back(), QString::fromUtf8("换向频率: 请输入 0.1 到 6553.5 之间的数值"));
}

TEST(LanguageSetting, ReadsWhatItSavedAndTakesAnythingElseForTheSystem) {
  const std::string path = ui::LanguageSettingPath();
  ASSERT_FALSE(path.empty());
  for (ui::LanguageChoice choice : {ui::LanguageChoice::English, ui::LanguageChoice::Chinese, ui::LanguageChoice::System}) {
    ASSERT_EQ(ui::SaveLanguageChoice(path, choice), "");
    EXPECT_EQ(ui::ReadLanguageChoice(path), choice);
  }
  const struct {
    const char* content;
    ui::LanguageChoice read;
  } cases[] = {{"en", ui::LanguageChoice::English}, {" zh \r\n", ui::LanguageChoice::Chinese},
               {"fr\n", ui::LanguageChoice::System}, {"", ui::LanguageChoice::System},
               {"en\nzh\n", ui::LanguageChoice::System}};
  for (const auto& c : cases) {
    std::ofstream(path, std::ios::trunc) << c.content;
    EXPECT_EQ(ui::ReadLanguageChoice(path), c.read) << c.content;
  }
  EXPECT_EQ(ui::ReadLanguageChoice(path + ".missing"), ui::LanguageChoice::System);
}

}  // namespace
