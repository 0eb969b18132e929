#include "cli/LanguageChoice.h"

namespace cli {

std::string LanguageArgument(const std::vector<std::string>& args) {
  constexpr std::string_view kOption = "--lang";
  std::string value;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--") break;
    if (arg == kOption && i + 1 < args.size()) {
      value = args[++i];
    } else if (arg.size() > kOption.size() && arg.compare(0, kOption.size(), kOption) == 0 &&
               arg[kOption.size()] == '=') {
      value = arg.substr(kOption.size() + 1);
    }
  }
  return value;
}

lang::Language ChooseLanguage(const std::string& argument) {
  return lang::FromCode(argument).value_or(lang::FromEnvironment());
}

}  // namespace cli
