// The menu bar: one table of items, each with its menu, its text, its
// shortcut and its handler. The tool's further windows and files hang their
// items here.
#include <QActionGroup>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "ui/LanguageSwitch.h"
#include "ui/MainDlg.h"
#include "ui/MessageBox.h"
#include "ui/Retranslate.h"
#include "ui/forms/DialogLayout.h"

namespace {

constexpr const char* kMenuTitles[] = {"文件(&F)", "工具(&T)", "帮助(&H)"};

// Named in both languages, so that an operator who reads only one of them
// finds the way back.
constexpr const char* kLanguageMenu = "语言 / Language";
struct LanguageItem {
  ui::LanguageChoice choice;
  const char* text;
};
constexpr LanguageItem kLanguageItems[] = {
    {ui::LanguageChoice::System, "跟随系统 / System"},
    {ui::LanguageChoice::Chinese, "中文"},
    {ui::LanguageChoice::English, "English"},
};

}  // namespace

void CMainDlg::BuildMenus() {
  struct Item {
    Menu menu;
    const char* text;
    void (CMainDlg::*run)();
    // Shown beside the item. F9 itself is taken by the stop key on the
    // application (ui/StopKey), which also reaches modal windows.
    const char* shortcut = nullptr;
  };
  const Item items[] = {
      {Menu::File, "保存参数(&S)...", &CMainDlg::OnSaveParams, "Ctrl+S"},
      {Menu::File, "载入参数(&L)...", &CMainDlg::OnLoadParams, "Ctrl+O"},
      {Menu::File, "导出记录(&E)...", &CMainDlg::OnExportRecording},
      {Menu::File, "退出(&X)", &CMainDlg::reject},
      {Menu::Tools, "实时曲线(&P)", &CMainDlg::OnPlotWindow},
      {Menu::Tools, "扫描设备(&S)...", &CMainDlg::OnScan},
      {Menu::Tools, "总线总览(&B)", &CMainDlg::OnBusOverview},
      {Menu::Tools, "通讯记录(&L)", &CMainDlg::OnTraffic},
      {Menu::Tools, "生产测试(&M)", &CMainDlg::OnStation},
      {Menu::Tools, forms::texts::StopItem, &CMainDlg::OnStopShortcut, forms::texts::StopKey},
      {Menu::Help, forms::texts::AboutItem, &CMainDlg::OnAbout},
  };
  for (size_t i = 0; i < std::size(kMenuTitles); ++i) {
    m_menus[i] = m_menuBar->addMenu(QString());
    ui::SetSourceText(m_menus[i], kMenuTitles[i]);
  }
  BuildLanguageMenu();
  for (const Item& item : items) {
    QAction* action = MenuOf(item.menu)->addAction(QString());
    ui::SetSourceText(action, item.text);
    if (item.shortcut != nullptr) action->setShortcut(QKeySequence(QString::fromUtf8(item.shortcut)));
    connect(action, &QAction::triggered, this, item.run);
  }
  // A menu with nothing in it is not offered.
  for (QMenu* menu : m_menus) menu->menuAction()->setVisible(!menu->isEmpty());
}

void CMainDlg::BuildLanguageMenu() {
  QMenu* menu = MenuOf(Menu::Help)->addMenu(QString::fromUtf8(kLanguageMenu));
  menu->setObjectName(QStringLiteral("languageMenu"));
  auto* group = new QActionGroup(menu);
  group->setExclusive(true);
  for (const LanguageItem& item : kLanguageItems) {
    QAction* action = menu->addAction(QString::fromUtf8(item.text));
    action->setCheckable(true);
    action->setChecked(item.choice == ui::ChosenLanguage());
    group->addAction(action);
    connect(action, &QAction::triggered, this, [this, choice = item.choice] {
      const std::string failure = ui::SwitchLanguage(choice);
      // The language shown may be kept for this run only; the operator is
      // told why it will not be there next time.
      if (!failure.empty()) ui::ShowMessage(this, failure);
      CheckLanguageItem();
    });
  }
  m_languageItems = group;
}

void CMainDlg::CheckLanguageItem() {
  const QList<QAction*> actions = m_languageItems->actions();
  for (qsizetype i = 0; i < actions.size() && i < std::ssize(kLanguageItems); ++i) {
    actions[i]->setChecked(kLanguageItems[i].choice == ui::ChosenLanguage());
  }
}

QMenu* CMainDlg::MenuOf(Menu menu) const { return m_menus[static_cast<size_t>(menu)]; }
