// The menu bar: one table of items, each with its menu, its text, its
// shortcut and its handler. The tool's further windows and files hang their
// items here.
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>

#include "ui/MainDlg.h"
#include "ui/forms/DialogLayout.h"

namespace {

constexpr const char* kMenuTitles[] = {"文件(&F)", "工具(&T)", "帮助(&H)"};

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
      {Menu::Tools, "通讯记录(&L)", &CMainDlg::OnTraffic},
      {Menu::Tools, forms::texts::StopItem, &CMainDlg::OnStopShortcut, forms::texts::StopKey},
      {Menu::Help, forms::texts::AboutItem, &CMainDlg::OnAbout},
  };
  for (size_t i = 0; i < std::size(kMenuTitles); ++i) {
    m_menus[i] = m_menuBar->addMenu(QString::fromUtf8(kMenuTitles[i]));
  }
  for (const Item& item : items) {
    QAction* action = MenuOf(item.menu)->addAction(QString::fromUtf8(item.text));
    if (item.shortcut != nullptr) action->setShortcut(QKeySequence(QString::fromUtf8(item.shortcut)));
    connect(action, &QAction::triggered, this, item.run);
  }
  // A menu with nothing in it is not offered.
  for (QMenu* menu : m_menus) menu->menuAction()->setVisible(!menu->isEmpty());
}

QMenu* CMainDlg::MenuOf(Menu menu) const { return m_menus[static_cast<size_t>(menu)]; }
