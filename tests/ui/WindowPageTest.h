// One page of the window against a simulated driver set up as the test
// needs, found among the tabs by its class, with its controls by their ids
// (ids repeat across pages).
#pragma once

#include "MainDlgFixture.h"

template <class Page>
class WindowPageTest : public MainDlgTest {
 protected:
  using MainDlgTest::MainDlgTest;

  void SetUp() override {
    MainDlgTest::SetUp();
    FindPage();
    ASSERT_NE(page, nullptr);
    ASSERT_TRUE(page->IsBound());
  }
  // After the test made a new window.
  void FindPage() {
    page = nullptr;
    for (CTabPage* tab : dlg->Pages()) {
      if (auto* found = dynamic_cast<Page*>(tab)) page = found;
    }
  }

  template <class T>
  T* On(int controlId) const {
    auto* control = qobject_cast<T*>(page->Control(controlId));
    EXPECT_NE(control, nullptr) << "page control " << controlId;
    return control;
  }
  void Press(int controlId) { QTest::mouseClick(On<QAbstractButton>(controlId), Qt::LeftButton); }

  Page* page = nullptr;
};
