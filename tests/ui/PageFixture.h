// The window's pages against the simulated driver: controls found by their
// page and id (ids repeat across pages), typed into and clicked as the
// operator does.
#pragma once

#include <QLineEdit>

#include <bit>

#include "MainDlgFixture.h"
#include "ui/TabCtrl.h"
#include "ui/FieldPage.h"

class PageTest : public MainDlgTest {
 protected:
  using MainDlgTest::MainDlgTest;

  // Tabs in their order on the window.
  enum Tab { MotorControl, MotorParams, SystemParams, Pid, Reciprocate };

  CFieldPage* Page(Tab tab) const {
    auto* page = dynamic_cast<CFieldPage*>(dlg->Pages().at(static_cast<size_t>(tab)));
    EXPECT_NE(page, nullptr) << "tab " << tab;
    return page;
  }

  template <class T>
  T* On(Tab tab, int controlId) const {
    auto* control = qobject_cast<T*>(Page(tab)->Control(controlId));
    EXPECT_NE(control, nullptr) << "tab " << tab << " control " << controlId;
    return control;
  }

  QString TextOn(Tab tab, int controlId) const { return On<QLineEdit>(tab, controlId)->text(); }

  // Replaces an edit's text by typing, as the operator would.
  void Type(Tab tab, int controlId, const QString& text) {
    QLineEdit* edit = On<QLineEdit>(tab, controlId);
    edit->selectAll();
    QTest::keyClick(edit, Qt::Key_Delete);
    QTest::keyClicks(edit, text);
  }

  void Press(Tab tab, int controlId) {
    dlg->TabControl()->SetCurSel(tab);
    dlg->ShowPage(tab);
    QTest::mouseClick(On<QAbstractButton>(tab, controlId), Qt::LeftButton);
  }

  // The float the driver holds in the two registers from `address`.
  float FloatAt(uint16_t address) {
    const uint32_t bits = (uint32_t{line.Driver().Register(address)} << 16) | line.Driver().Register(address + 1);
    return std::bit_cast<float>(bits);
  }
  void SetFloatAt(uint16_t address, uint32_t bits) {
    line.Driver().SetRegister(address, static_cast<uint16_t>(bits >> 16));
    line.Driver().SetRegister(static_cast<uint16_t>(address + 1), static_cast<uint16_t>(bits & 0xFFFF));
  }
};
