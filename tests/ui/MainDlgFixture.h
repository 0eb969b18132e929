// A main window shown offscreen, a simulated driver on COM1 and a recorder
// for its message boxes.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <functional>
#include <memory>

#include "GuiSupport.h"
#include "ui/MainDlg.h"
#include "ui/forms/ControlIds.h"

namespace ids = forms::ids;

class MainDlgTest : public ::testing::Test {
 protected:
  MainDlgTest() = default;
  // A simulated driver set up otherwise than by default.
  explicit MainDlgTest(sim::DriverOptions options, sim::LineOptions settings = {})
      : line(1, std::move(options), std::move(settings)) {}

  void SetUp() override {
    TestApp();
    dlg = std::make_unique<CMainDlg>();
    dlg->show();
  }
  // The window goes first: its link holds the simulated line open.
  void TearDown() override { dlg.reset(); }

  template <class T>
  T* Get(int controlId) const {
    auto* control = qobject_cast<T*>(dlg->Control(controlId));
    EXPECT_NE(control, nullptr) << "control " << controlId;
    return control;
  }

  QString Text(int controlId) const {
    QWidget* control = dlg->Control(controlId);
    if (auto* label = qobject_cast<QLabel*>(control)) return label->text();
    if (auto* edit = qobject_cast<QLineEdit*>(control)) return edit->text();
    if (auto* button = qobject_cast<QAbstractButton*>(control)) return button->text();
    ADD_FAILURE() << "no text control " << controlId;
    return {};
  }

  void Click(int controlId) { QTest::mouseClick(Get<QAbstractButton>(controlId), Qt::LeftButton); }

  void Select(int comboId, int index) { Get<QComboBox>(comboId)->setCurrentIndex(index); }

  // Chooses a menu item as the operator would.
  void ChooseMenuItem(CMainDlg::Menu menu, const QString& text) {
    for (QAction* action : dlg->MenuOf(menu)->actions()) {
      if (action->text() == text) return action->trigger();
    }
    ADD_FAILURE() << "no menu item " << text.toStdString();
  }

  static bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000) {
    return QTest::qWaitFor(condition, timeoutMs);
  }

  // Opens the port through the button and ticks "自动更新".
  void OpenAndPoll() {
    Click(ids::OpenPortButton);
    ASSERT_TRUE(dlg->m_link.IsOpen());
    Click(ids::AutoUpdate);
  }

  DataHome dataHome;  // where the window's backups go
  SimulatedLine line{1};
  MessageRecorder boxes;
  std::unique_ptr<CMainDlg> dlg;
};
