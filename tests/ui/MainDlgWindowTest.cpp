// The window itself: keys, the tab pages, the about box and the end of the run.
#include <QApplication>
#include <QDialog>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTabBar>
#include <dirent.h>
#include <unistd.h>

#include "MainDlgFixture.h"
#include "ui/TabCtrl.h"

namespace {

TEST_F(MainDlgTest, EnterLeavesTheWindowOpenAndEscEndsIt) {
  auto* open = Get<QPushButton>(ids::OpenPortButton);
  open->setFocus();
  QTest::keyClick(open, Qt::Key_Return);
  EXPECT_FALSE(dlg->m_link.IsOpen());
  QTest::keyClick(dlg.get(), Qt::Key_Enter);
  EXPECT_FALSE(dlg->m_link.IsOpen());
  dlg->accept();  // the OK command by any other way
  EXPECT_TRUE(dlg->isVisible());
  EXPECT_TRUE(boxes.Boxes().empty());

  QTest::keyClick(dlg.get(), Qt::Key_Escape);
  EXPECT_FALSE(dlg->isVisible());
  EXPECT_EQ(dlg->result(), QDialog::Rejected);
}

TEST_F(MainDlgTest, FiveTabsInOrderAndATabShowsOnlyItsPage) {
  CTabCtrl* tab = dlg->TabControl();
  ASSERT_NE(tab, nullptr);
  const QStringList expected = {"电机控制", "电机参数", "系统参数", "PID参数", "往复运动"};
  ASSERT_EQ(tab->GetItemCount(), 5);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(tab->TabBar()->tabText(i), expected[i]);
  ASSERT_EQ(dlg->Pages().size(), 5u);
  EXPECT_NE(dynamic_cast<CMotorControlPage*>(dlg->Pages()[0]), nullptr);
  EXPECT_NE(dynamic_cast<CSystemParamPage*>(dlg->Pages()[2]), nullptr);
  EXPECT_NE(dynamic_cast<CPidParamPage*>(dlg->Pages()[3]), nullptr);
  for (CTabPage* page : dlg->Pages()) {
    EXPECT_EQ(page->parentWidget(), tab);
    EXPECT_FALSE(page->isWindow());
    // Below the tabs, inside the control.
    EXPECT_GE(page->y(), tab->TabBar()->height());
    EXPECT_TRUE(tab->rect().contains(page->geometry()));
  }
  EXPECT_TRUE(dlg->Pages()[0]->isVisible());

  tab->TabBar()->setCurrentIndex(3);  // as the operator's click does
  for (size_t i = 0; i < 5; ++i) EXPECT_EQ(dlg->Pages()[i]->isVisible(), i == 3) << i;

  dlg->ShowPage(-1);
  for (CTabPage* page : dlg->Pages()) EXPECT_FALSE(page->isVisible());
}

TEST_F(MainDlgTest, PageThatCannotBeCreatedGetsNoTab) {
  CReciprocatePage extra;
  dlg->AddPage(&extra, CPidParamPage::IDD, "额外");  // not its template
  dlg->AddPage(nullptr, CPidParamPage::IDD, "额外");
  dlg->AddPage(&extra, CReciprocatePage::IDD, nullptr);
  EXPECT_EQ(dlg->TabControl()->GetItemCount(), 5);
  EXPECT_EQ(dlg->Pages().size(), 5u);
  EXPECT_FALSE(extra.IsCreated());

  dlg->AddPage(&extra, CReciprocatePage::IDD, "额外");
  ASSERT_EQ(dlg->TabControl()->GetItemCount(), 6);
  EXPECT_EQ(dlg->Pages()[5], &extra);
  dlg->TabControl()->TabBar()->setCurrentIndex(5);
  EXPECT_TRUE(extra.isVisible());
  EXPECT_FALSE(dlg->Pages()[0]->isVisible());
}

class AboutBoxWatch {
 public:
  // Runs `action`; any modal dialog it opens is noted and closed with its
  // default button.
  void Run(const std::function<void()>& action) {
    QTimer::singleShot(0, [this] { Close(); });
    action();
    QCoreApplication::processEvents();
  }
  int opened = 0;
  QString title;
  QStringList labels;

 private:
  void Close() {
    auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget());
    if (box == nullptr) return;
    ++opened;
    title = box->windowTitle();
    labels.clear();
    for (QLabel* label : box->findChildren<QLabel*>()) labels << label->text();
    for (QPushButton* button : box->findChildren<QPushButton*>()) {
      if (button->isDefault()) button->click();
    }
  }
};

TEST_F(MainDlgTest, AboutBoxFromTheContextMenuAndTheCommandRange) {
  const std::unique_ptr<QMenu> menu = dlg->CreateSystemMenu();
  ASSERT_FALSE(menu->actions().isEmpty());
  QAction* about = menu->actions().back();
  EXPECT_EQ(about->text(), "关于 KORVELT_Demo(&A)...");

  AboutBoxWatch watch;
  watch.Run([&] { about->trigger(); });
  EXPECT_EQ(watch.opened, 1);
  EXPECT_EQ(watch.title, "关于 KORVELT_Demo");
  EXPECT_TRUE(watch.labels.contains("KORVELT_Demo 1.0 版"));

  // The same item under "帮助", and the menu bar above every control.
  QMenu* help = dlg->MenuOf(CMainDlg::Menu::Help);
  ASSERT_FALSE(help->actions().isEmpty());
  EXPECT_EQ(help->actions().back()->text(), about->text());
  watch.Run([&] { help->actions().back()->trigger(); });
  EXPECT_EQ(watch.opened, 2);
  for (QWidget* control : {dlg->Control(ids::PortCombo), dlg->Control(ids::StatisticsLine)}) {
    EXPECT_GE(control->mapTo(dlg.get(), QPoint(0, 0)).y(), dlg->MenuBar()->height());
    EXPECT_LE(control->mapTo(dlg.get(), QPoint(0, control->height())).y(), dlg->height());
  }

  watch.Run([&] { dlg->OnSysCommand(0x001F, 0); });
  watch.Run([&] { dlg->OnSysCommand(0x10013, 0); });  // only the low 16 bits count
  EXPECT_EQ(watch.opened, 4);
  watch.Run([&] { dlg->OnSysCommand(0x0020, 0); });
  watch.Run([&] { dlg->OnSysCommand(0x000F, 0); });
  EXPECT_EQ(watch.opened, 4);
  EXPECT_TRUE(dlg->isVisible());
}

// Descriptors of this process open on `path`.
int OpenDescriptorsOn(const std::string& path) {
  int count = 0;
  DIR* fds = opendir("/proc/self/fd");
  if (fds == nullptr) return -1;
  while (dirent* entry = readdir(fds)) {
    char target[256] = {};
    const std::string link = std::string("/proc/self/fd/") + entry->d_name;
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n > 0 && path == target) ++count;
  }
  closedir(fds);
  return count;
}

TEST_F(MainDlgTest, EndingTheWindowClosesThePort) {
  const std::string device = line.Pty().SlavePath();
  const int idle = OpenDescriptorsOn(device);  // the pair's own end
  Click(ids::OpenPortButton);
  ASSERT_TRUE(dlg->m_link.IsOpen());
  EXPECT_EQ(OpenDescriptorsOn(device), idle + 1);
  QTest::keyClick(dlg.get(), Qt::Key_Escape);
  dlg.reset();
  EXPECT_EQ(OpenDescriptorsOn(device), idle);
}

}  // namespace
