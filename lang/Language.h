// Which language the tool speaks: Chinese, its own, or English.
#pragma once

#include <optional>
#include <string_view>

namespace lang {

enum class Language { Chinese, English };

// The locale's choice, by the rule of gettext's own programs: LANGUAGE's
// first entry when the locale is not C, else the first set of LC_ALL,
// LC_MESSAGES and LANG. Chinese for a Chinese locale and for C/POSIX (a bare
// system); English for every other language.
struct LocaleNames {
  std::string_view language;    // $LANGUAGE
  std::string_view all;         // $LC_ALL
  std::string_view messages;    // $LC_MESSAGES
  std::string_view lang;        // $LANG
};
Language FromLocale(const LocaleNames& names);
// The same, read from this process's environment.
Language FromEnvironment();

// "zh" and "en", as `--lang` and the saved choice take them.
std::optional<Language> FromCode(std::string_view code);
const char* Code(Language language);

}  // namespace lang
