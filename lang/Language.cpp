#include "lang/Language.h"

#include <cstdlib>

namespace lang {
namespace {

constexpr LanguageInfo kLanguages[] = {
    {Language::Chinese, "zh", "中文"},
    {Language::English, "en", "English"},
};

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
  return FromCode(LanguagePart(chosen)).value_or(Language::English);
}

Language FromEnvironment() {
  return FromLocale({Env("LANGUAGE"), Env("LC_ALL"), Env("LC_MESSAGES"), Env("LANG")});
}

std::span<const LanguageInfo> Languages() { return kLanguages; }

std::optional<Language> FromCode(std::string_view code) {
  for (const LanguageInfo& info : kLanguages) {
    if (code == info.code) return info.language;
  }
  return std::nullopt;
}

const char* Code(Language language) {
  for (const LanguageInfo& info : kLanguages) {
    if (info.language == language) return info.code;
  }
  return kLanguages[0].code;
}

}  // namespace lang
