#include "ui/MessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <utility>

#include "ui/Text.h"
#include "ui/forms/DialogLayout.h"

namespace ui {
namespace {

int ShowRealBox(QWidget* parent, const QString& title, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, title, QString(text).replace("\r\n", "\n"), QMessageBox::Ok, parent);
  box.setTextFormat(Qt::PlainText);
  return box.exec();
}

MessageBoxHandler& Handler() {
  static MessageBoxHandler handler;
  return handler;
}

}  // namespace

int ShowMessage(QWidget* parent, const QString& text) {
  const QString title = QString::fromUtf8(forms::texts::AppName);
  if (Handler()) return Handler()(parent, title, text);
  return ShowRealBox(parent, title, text);
}

int ShowMessage(QWidget* parent, const std::string& utf8Text) { return ShowMessage(parent, ToQString(utf8Text)); }

void PostMessage(const QString& text) {
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [text] { ShowMessage(nullptr, text); }, Qt::QueuedConnection);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) { return std::exchange(Handler(), std::move(handler)); }

}  // namespace ui
