// The window's language, chosen at start from the saved choice and switched
// at run time from "帮助" → "语言 / Language". A switch shows at once in
// every open window: each top-level window's remembered texts are set again
// (ui/Retranslate.h) and it gets QEvent::LanguageChange to make its other
// texts again. Qt's own texts (file dialogs, standard buttons) follow
// through Debian's translation of Qt for Chinese; in English Qt speaks its
// own source texts.
#pragma once

#include <string>

#include "ui/LanguageSetting.h"

namespace ui {

// Before any window is built, with the application object in place: the
// saved choice, else the locale's language.
void StartLanguage();

// The choice in force (what StartLanguage read or the last switch chose).
LanguageChoice ChosenLanguage();

// Switches every open window to `choice` and saves it. Empty on success,
// else why the choice could not be kept or English could not be shown (the
// language then stays as it was).
std::string SwitchLanguage(LanguageChoice choice);

}  // namespace ui
