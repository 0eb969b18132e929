// The language the operator chose in the window, the one setting the tool
// keeps: a small file `language` in $XDG_CONFIG_HOME/korvelt-demo/ (default
// ~/.config/korvelt-demo/) that holds "system", "zh" or "en".
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "lang/Language.h"

namespace ui {

enum class LanguageChoice { System, Chinese, English };

// The language a choice speaks: "system" follows the locale.
lang::Language LanguageOf(LanguageChoice choice);

// "system", "zh", "en" and back; anything else is no choice.
const char* ChoiceCode(LanguageChoice choice);
std::optional<LanguageChoice> ChoiceFromCode(std::string_view code);

// Where the choice is kept; empty when neither $XDG_CONFIG_HOME (absolute)
// nor $HOME names a folder.
std::string LanguageSettingPath();

// The saved choice; a missing, unreadable or unknown file is "system".
LanguageChoice ReadLanguageChoice(const std::string& path);
// Writes the choice whole, making its folder when needed. Empty on success,
// else what went wrong.
std::string SaveLanguageChoice(const std::string& path, LanguageChoice choice);

}  // namespace ui
