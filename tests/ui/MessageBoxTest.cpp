#include "ui/MessageBox.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTest>
#include <QTimer>
#include <thread>

#include "GuiSupport.h"

namespace {

TEST(MessageBox, RealBoxHasTheAppNameNoIconAndOnlyOk) {
  TestApp();
  QString title, text;
  QMessageBox::Icon icon = QMessageBox::Warning;
  int buttons = 0;
  bool okIsTheButton = false;
  QTimer::singleShot(0, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    ASSERT_NE(box, nullptr);
    title = box->windowTitle();
    text = box->text();
    icon = box->icon();
    buttons = static_cast<int>(box->buttons().size());
    okIsTheButton = box->button(QMessageBox::Ok) != nullptr;
    box->button(QMessageBox::Ok)->click();
  });
  const int answer = ui::ShowMessage(nullptr, std::string("串口未打开"));
  EXPECT_EQ(answer, QMessageBox::Ok);
  EXPECT_EQ(title, "KORVELT_Demo");
  EXPECT_EQ(text, "串口未打开");
  EXPECT_EQ(icon, QMessageBox::NoIcon);
  EXPECT_EQ(buttons, 1);
  EXPECT_TRUE(okIsTheButton);
}

TEST(MessageBox, WorkerMessagesAreShownOnTheUserInterfaceThread) {
  TestApp();
  MessageRecorder boxes;
  std::thread worker([] { ui::PostMessage(QStringLiteral("学习完成")); });
  worker.join();
  EXPECT_TRUE(boxes.Boxes().empty());  // not before the event loop runs
  ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.Boxes().empty(); }, 3000));
  ASSERT_EQ(boxes.Boxes().size(), 1u);
  EXPECT_EQ(boxes.Boxes()[0].text, "学习完成");
  EXPECT_EQ(boxes.Boxes()[0].title, "KORVELT_Demo");
  EXPECT_EQ(boxes.Boxes()[0].thread, QApplication::instance()->thread());
}

}  // namespace
