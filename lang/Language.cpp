#include "lang/Language.h"

#include <cstdlib>

namespace lang {
namespace {

// "zh_CN.UTF-8@latin" -> "zh"
std::string_view LanguagePart(std::string_view locale) {
  const size_t end = locale.find_first_of("_.@");
  return end == std::string_view::npos ? locale : locale.substr(0, end);
}

bool IsPlainC(std::string_view locale) {
  const std::string_view part = LanguagePart(locale);
  return part.empty() || part == "C" || part == "POSIX";
}

std::string_view Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string_view(value) : std::string_view();
}

}  // namespace

Language FromLocale(const LocaleNames& names) {
  std::string_view locale = names.all;
  if (locale.empty()) locale = names.messages;
  if (locale.empty()) locale = names.lang;
  if (IsPlainC(locale)) return Language::Chinese;
  std::string_view chosen = locale;
  if (!names.language.empty()) {
    const std::string_view first = names.language.substr(0, names.language.find(':'));
    if (!first.empty()) chosen = first;
  }
  return LanguagePart(chosen) == "zh" ? Language::Chinese : Language::English;
}

Language FromEnvironment() {
  return FromLocale({Env("LANGUAGE"), Env("LC_ALL"), Env("LC_MESSAGES"), Env("LANG")});
}

std::optional<Language> FromCode(std::string_view code) {
  if (code == "zh") return Language::Chinese;
  if (code == "en") return Language::English;
  return std::nullopt;
}

const char* Code(Language language) {
  return language == Language::English ? "en" : "zh";
}

}  // namespace lang
