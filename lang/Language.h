// Which language the tool speaks: Chinese, its own, or English.
#pragma once

#include <optional>
#include <span>
#include <string_view>

namespace lang {

// Chinese first: its texts are the code's own and need no catalogue. A
// language added here gets its row in Languages() and its po/CODE.po.
enum class Language { Chinese, English };

struct LanguageInfo {
  Language language;
  const char* code;   // the catalogue's folder under share/locale, `--lang`
  const char* name;   // in its own words, as a menu lists it
};
std::span<const LanguageInfo> Languages();

// The locale's choice, by the rule of gettext's own programs: LANGUAGE's
// first entry when the locale is not C, else the first set of LC_ALL,
// LC_MESSAGES and LANG. Chinese for a Chinese locale and for C/POSIX (a bare
// system); a language of Languages() for its own; English for every other.
struct LocaleNames {
  std::string_view language;    // $LANGUAGE
  std::string_view all;         // $LC_ALL
  std::string_view messages;    // $LC_MESSAGES
  std::string_view lang;        // $LANG
};
Language FromLocale(const LocaleNames& names);
// The same, read from this process's environment.
Language FromEnvironment();

// "zh", "en", …: the codes of Languages(), as `--lang` and the saved choice
// take them.
std::optional<Language> FromCode(std::string_view code);
const char* Code(Language language);

}  // namespace lang
