#include "cli/Usage.h"

#include <regex>

#include "lang/Texts.h"

namespace cli {
namespace {

using lang::Fill;
using lang::Tr;
using Kind = CLI::ExitCodes;

// CLI11's words in its help and their texts.
struct Label {
  const char* word;
  const char* text;
};
constexpr Label kLabels[] = {
    {"Usage", "用法"},          {"OPTIONS", "选项"},     {"SUBCOMMAND", "命令"}, {"SUBCOMMANDS", "命令"},
    {"Positionals", "位置参数"},    {"REQUIRED", "必需"},    {"Excludes", "不能同用"}, {"Needs", "需要"},
    {"Env", "环境变量"},        {"TEXT", "文本"},        {"INT", "整数"},         {"UINT", "正整数"},
    {"FLOAT", "数值"},          {"BOOLEAN", "是/否"},
};

// The names CLI11 gives groups unless told otherwise.
constexpr const char* kOptionsGroup = "Options";

// A usage error CLI11 raised, by its kind and its words, and our text for
// it: {1}, {2} and {3} are the error's parts in the order of the pattern's
// groups.
struct Form {
  Kind kind;
  const char* pattern;
  const char* text;
};
// [\s\S]: a value may hold any character, a line break too.
const Form kForms[] = {
    {Kind::RequiredError, R"(A subcommand is required)", "缺少命令: {1}"},
    {Kind::RequiredError, R"(([\s\S]+) is required)", "缺少 {1}"},
    {Kind::ExtrasError, R"(The following arguments? (?:was|were) not expected: ([\s\S]*))", "多余的参数: {1}"},
    {Kind::ConversionError, R"(Could not convert: ([\s\S]+?) = ([\s\S]*))", "{1}: 无效的值 {2}"},
    {Kind::ConversionError, R"(The value ([\s\S]*) is not an allowed value for ([\s\S]+))", "{2}: 无效的值 {1}"},
    {Kind::ConversionError, R"(([\s\S]+): too many inputs for a flag)", "{1} 不带值"},
    {Kind::ConversionError, R"(([\s\S]+): Should be true/false or a number)", "{1}: 应为 true、false 或数字"},
    {Kind::ArgumentMismatch, R"(Expected exactly (\d+) arguments to ([\s\S]+), got (\d+))", "{2}: 应有 {1} 个值, 给了 {3} 个"},
    {Kind::ArgumentMismatch, R"(Expected at least (\d+) arguments to ([\s\S]+), got (\d+))", "{2}: 至少应有 {1} 个值, 给了 {3} 个"},
    {Kind::ArgumentMismatch, R"(([\s\S]+): At least (\d+) required but received (\d+))", "{1}: 至少应有 {2} 个值, 给了 {3} 个"},
    {Kind::ArgumentMismatch, R"(([\s\S]+): At Most (\d+) required but received (\d+))", "{1}: 最多 {2} 个值, 给了 {3} 个"},
    {Kind::ArgumentMismatch, R"(([\s\S]+): \d+ required [\s\S]* missing)", "{1}: 缺少值"},
    {Kind::ArgumentMismatch, R"(([\s\S]+) was given a disallowed flag override)", "{1} 不带值"},
    {Kind::ExcludesError, R"(([\s\S]+) excludes ([\s\S]+))", "{1} 不能与 {2} 同用"},
    {Kind::RequiresError, R"(([\s\S]+) requires ([\s\S]+))", "{1} 需要 {2}"},
    // Our own checks' refusals, already in the language in use.
    {Kind::ValidationError, R"(([\s\S]+?): ([\s\S]*))", "{1}: {2}"},
};

class Help : public CLI::Formatter {
 public:
  Help() {
    for (const Label& label : kLabels) this->label(label.word, Tr(label.text));
  }
};

std::string Commands(const CLI::App& app) {
  std::string names;
  for (const CLI::App* command : app.get_subcommands({})) {
    names += (names.empty() ? "" : ", ") + command->get_name();
  }
  return names;
}

void NameGroupsOf(CLI::App& app, const std::string& options, const std::string& commands) {
  for (CLI::Option* option : app.get_options()) {
    if (option->get_group() == kOptionsGroup) option->group(options);
  }
  for (CLI::App* command : app.get_subcommands({})) {
    command->group(commands);
    // A command's help lists its own options; those of every command are
    // the program's.
    command->footer(Tr("各命令共用的选项 (--port, --baud, --parity, --address, --json, --lang) 见 korvelt --help"));
    NameGroupsOf(*command, options, commands);
  }
}

}  // namespace

std::shared_ptr<CLI::Formatter> HelpFormatter() { return std::make_shared<Help>(); }

void NameGroups(CLI::App& app) { NameGroupsOf(app, Tr("可用选项"), Tr("可用命令")); }

std::string UsageErrorText(const CLI::App& app, const CLI::Error& error) {
  const std::string message = error.what();
  const auto kind = static_cast<Kind>(error.get_exit_code());
  for (const Form& form : kForms) {
    std::smatch parts;
    if (form.kind != kind || !std::regex_match(message, parts, std::regex(form.pattern))) continue;
    if (parts.size() == 1) return Fill(Tr(form.text), {Commands(app)});
    const auto part = [&parts](size_t i) { return i < parts.size() ? parts.str(i) : std::string(); };
    return Fill(Tr(form.text), {part(1), part(2), part(3)});
  }
  // A kind korvelt's options cannot raise: CLI11's own words.
  return Fill(Tr("命令行有误: {1}"), {message});
}

}  // namespace cli
