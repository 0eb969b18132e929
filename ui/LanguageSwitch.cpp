#include "ui/LanguageSwitch.h"

#include <QApplication>
#include <QEvent>
#include <QLibraryInfo>
#include <QPointer>
#include <QTranslator>
#include <QWidget>

#include "lang/Texts.h"
#include "ui/Retranslate.h"

namespace ui {
namespace {

LanguageChoice& Chosen() {
  static LanguageChoice choice = LanguageChoice::System;
  return choice;
}

// Owned by the application, so it goes with it.
QPointer<QTranslator>& QtTexts() {
  static QPointer<QTranslator> translator;
  return translator;
}

// Qt's own texts in Chinese when the tool speaks Chinese; nothing to load
// for English, Qt's source language. A missing translation of Qt leaves its
// texts English and the tool's own texts Chinese.
void UseQtTexts(lang::Language language) {
  static bool installed = false;
  QPointer<QTranslator>& translator = QtTexts();
  if (language == lang::Language::English) {
    if (translator && installed) QCoreApplication::removeTranslator(translator);
    installed = false;
    return;
  }
  if (installed) return;
  if (!translator) {
    translator = new QTranslator(QCoreApplication::instance());
    if (!translator->load(QStringLiteral("qtbase_zh_CN"), QLibraryInfo::path(QLibraryInfo::TranslationsPath))) return;
  }
  installed = !translator->isEmpty() && QCoreApplication::installTranslator(translator);
}

std::string Speak(lang::Language language) {
  std::string failure = lang::Use(language);
  UseQtTexts(lang::InUse());
  return failure;
}

}  // namespace

void StartLanguage() {
  Chosen() = ReadLanguageChoice(LanguageSettingPath());
  Speak(LanguageOf(Chosen()));
}

LanguageChoice ChosenLanguage() { return Chosen(); }

std::string SwitchLanguage(LanguageChoice choice) {
  std::string failure = Speak(LanguageOf(choice));
  if (!failure.empty()) return failure;
  Chosen() = choice;
  // Installing or removing Qt's translator posts LanguageChange to the
  // windows too; sent here, every window has its texts made again before
  // the menu closes, whatever the translator did. The controls hear of it
  // before their window, so the widths that follow their texts (a button's
  // least width) are those of the new language when the window fits itself
  // to them.
  for (QWidget* window : QApplication::topLevelWidgets()) {
    Retranslate(window);
    for (QWidget* control : window->findChildren<QWidget*>()) {
      QEvent change(QEvent::LanguageChange);
      QCoreApplication::sendEvent(control, &change);
    }
    QEvent change(QEvent::LanguageChange);
    QCoreApplication::sendEvent(window, &change);
  }
  return SaveLanguageChoice(LanguageSettingPath(), choice);
}

}  // namespace ui
