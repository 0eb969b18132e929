#include "ui/LanguageSetting.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/AtomicFile.h"
#include "base/WholeFile.h"
#include "lang/Texts.h"

namespace ui {
namespace {

constexpr const char* kFolder = "korvelt-demo";
constexpr const char* kFile = "language";
// A few words at most; a larger file is not one of ours.
constexpr size_t kLimit = 64;

struct Named {
  LanguageChoice choice;
  const char* code;
};
constexpr Named kCodes[] = {
    {LanguageChoice::System, "system"},
    {LanguageChoice::Chinese, "zh"},
    {LanguageChoice::English, "en"},
};

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t\r\n");
  if (first == std::string_view::npos) return {};
  const size_t last = text.find_last_not_of(" \t\r\n");
  return text.substr(first, last - first + 1);
}

}  // namespace

lang::Language LanguageOf(LanguageChoice choice) {
  switch (choice) {
    case LanguageChoice::Chinese:
      return lang::Language::Chinese;
    case LanguageChoice::English:
      return lang::Language::English;
    case LanguageChoice::System:
      break;
  }
  return lang::FromEnvironment();
}

const char* ChoiceCode(LanguageChoice choice) {
  for (const Named& named : kCodes) {
    if (named.choice == choice) return named.code;
  }
  return kCodes[0].code;
}

std::optional<LanguageChoice> ChoiceFromCode(std::string_view code) {
  for (const Named& named : kCodes) {
    if (code == named.code) return named.choice;
  }
  return std::nullopt;
}

std::string LanguageSettingPath() {
  // A relative $XDG_CONFIG_HOME is to be ignored, as an unset one.
  const char* config = std::getenv("XDG_CONFIG_HOME");
  std::filesystem::path folder;
  if (config != nullptr && config[0] == '/') {
    folder = config;
  } else if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    folder = std::filesystem::path(home) / ".config";
  } else {
    return {};
  }
  return (folder / kFolder / kFile).string();
}

LanguageChoice ReadLanguageChoice(const std::string& path) {
  if (path.empty()) return LanguageChoice::System;
  std::string data;
  if (!base::ReadWholeFile(path, kLimit, data).empty()) return LanguageChoice::System;
  return ChoiceFromCode(Trimmed(data)).value_or(LanguageChoice::System);
}

std::string SaveLanguageChoice(const std::string& path, LanguageChoice choice) {
  if (path.empty()) return lang::Tr("没有保存设置的文件夹 (HOME 未设置)");
  std::error_code error;
  std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
  if (error) {
    return lang::Fill(lang::Tr("无法创建文件夹 {1}: {2}"),
                      {std::filesystem::path(path).parent_path().string(), error.message()});
  }
  return base::WriteWholeFile(path, std::string(ChoiceCode(choice)) + "\n");
}

}  // namespace ui
