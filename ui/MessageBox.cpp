#include "ui/MessageBox.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QPushButton>
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

bool AskRealBox(QWidget* parent, const QString& text) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(forms::texts::AppName), text, QMessageBox::NoButton, parent);
  box.setTextFormat(Qt::PlainText);
  QPushButton* yes = box.addButton(Tr("是(&Y)"), QMessageBox::YesRole);
  QPushButton* no = box.addButton(Tr("否(&N)"), QMessageBox::NoRole);
  // Going on is the operator's choice, never the default.
  box.setDefaultButton(no);
  box.setEscapeButton(no);
  box.exec();
  return box.clickedButton() == yes;
}

QuestionHandler& Questions() {
  static QuestionHandler handler;
  return handler;
}

size_t ChooseInRealBox(QWidget* parent, const QString& text, const std::vector<QString>& buttons) {
  QMessageBox box(QMessageBox::NoIcon, QString::fromUtf8(forms::texts::AppName), text, QMessageBox::NoButton, parent);
  box.setTextFormat(Qt::PlainText);
  std::vector<QPushButton*> added;
  for (const QString& button : buttons) added.push_back(box.addButton(button, QMessageBox::ActionRole));
  if (added.empty()) return 0;
  box.setDefaultButton(added.back());
  box.setEscapeButton(added.back());
  box.exec();
  for (size_t i = 0; i < added.size(); ++i) {
    if (box.clickedButton() == added[i]) return i;
  }
  return added.size() - 1;
}

ChoiceHandler& Choices() {
  static ChoiceHandler handler;
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

bool AskQuestion(QWidget* parent, const std::string& utf8Text) {
  const QString text = ToQString(utf8Text);
  if (Questions()) return Questions()(parent, text);
  return AskRealBox(parent, text);
}

QuestionHandler SetQuestionHandler(QuestionHandler handler) { return std::exchange(Questions(), std::move(handler)); }

size_t AskChoice(QWidget* parent, const std::string& utf8Text, const std::vector<QString>& buttons) {
  const QString text = ToQString(utf8Text);
  if (Choices()) return Choices()(parent, text, buttons);
  return ChooseInRealBox(parent, text, buttons);
}

ChoiceHandler SetChoiceHandler(ChoiceHandler handler) { return std::exchange(Choices(), std::move(handler)); }

}  // namespace ui
