// The pages built from field tables fit their page area at the dialog font,
// so no text of theirs is clipped, and the keyboard goes through their
// controls in the order they are shown.
#include <QLayout>
#include <algorithm>

#include "MainDlgFixture.h"

namespace {

TEST_F(MainDlgTest, EveryFieldPageFitsItsArea) {
  int pages = 0;
  for (CTabPage* page : dlg->Pages()) {
    auto* fields = dynamic_cast<CFieldPage*>(page);
    if (fields == nullptr) continue;
    ++pages;
    ASSERT_NE(page->layout(), nullptr) << page->TemplateId();
    const QSize needed = page->layout()->minimumSize();
    EXPECT_LE(needed.width(), page->width()) << page->TemplateId();
    EXPECT_LE(needed.height(), page->height()) << page->TemplateId();
  }
  EXPECT_GE(pages, 3);
}

// The gains' table follows the block (holding first); the screen and the
// keyboard go speed, position, holding.
TEST_F(MainDlgTest, KeyboardGoesThroughTheControlsInTheOrderShown) {
  auto* pid = dynamic_cast<CFieldPage*>(dlg->Pages().at(3));
  ASSERT_NE(pid, nullptr);
  const std::vector<int> shown = {1052, 1053, 1054, 1056, 1059, 1060, 1057, 1061, 1062};
  std::vector<int> reached;
  QWidget* widget = pid->Control(shown.front());
  for (int step = 0; widget != nullptr && step < 200 && reached.size() < shown.size(); ++step) {
    for (int id : shown) {
      if (pid->Control(id) == widget && std::find(reached.begin(), reached.end(), id) == reached.end()) {
        reached.push_back(id);
      }
    }
    widget = widget->nextInFocusChain();
  }
  EXPECT_EQ(reached, shown);
}

}  // namespace
