// The language korvelt speaks: --lang zh|en, wherever it stands on the
// command line, else the locale's. Chosen before the options are described,
// so that the help and every message are in it.
#pragma once

#include <string>
#include <vector>

#include "lang/Language.h"

namespace cli {

// The value of the last --lang before "--" (as "--lang en" or "--lang=en"),
// empty when there is none.
std::string LanguageArgument(const std::vector<std::string>& args);

// The language of `argument` when it names one, else the locale's: a wrong
// value is a usage error that the parse reports in the locale's language.
lang::Language ChooseLanguage(const std::string& argument);

}  // namespace cli
