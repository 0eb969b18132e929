// The pages built from field tables fit their page area at the dialog font,
// so no text of theirs is clipped.
#include <QLayout>

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

}  // namespace
