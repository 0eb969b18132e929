// korvelt test --check PLAN: the production test plan read and checked as
// a station would load it, without a driver; what it holds is listed, or why
// it does not fit.
#include <memory>

#include "cli/Program.h"
#include "fields/PrintableText.h"
#include "lang/Texts.h"
#include "testplan/PlanFile.h"
#include "testplan/PlanText.h"

namespace cli {
namespace {

using lang::Fill;
using lang::Tr;
using nlohmann::json;

// The hash prefix that names a plan's exact file on a report.
constexpr size_t kShownHashDigits = 8;

int CheckPlan(Program& program, const std::string& path) {
  const testplan::Loaded loaded = testplan::LoadPlan(path);
  if (!loaded.plan) {
    program.Say(loaded.refusal);
    return PlanDoesNotFit;
  }
  const testplan::Plan& plan = *loaded.plan;
  const std::string pattern = plan.serialPattern ? plan.serialPattern->Text() : std::string();
  if (program.options.json) {
    json steps = json::array();
    for (size_t i = 0; i < plan.steps.size(); ++i) {
      const testplan::Step& step = plan.steps[i];
      steps.push_back({{"number", i + 1}, {"type", testplan::StepTypeKey(step.kind)}, {"name", step.name},
                       {"summary", testplan::StepSummary(step)}});
    }
    program.PrintJson(json{{"name", plan.name}, {"revision", plan.revision}, {"sha256", plan.sha256},
                           {"serialPattern", plan.serialPattern ? json(pattern) : json()}, {"steps", steps}});
    return Done;
  }
  std::vector<TextRow> rows = {{Tr("测试计划"), plan.name, ""},
                               {Tr("修订"), plan.revision, ""},
                               {"SHA-256", plan.sha256.substr(0, kShownHashDigits), ""}};
  if (plan.serialPattern) rows.push_back({Tr("序列号模式"), pattern, ""});
  std::string text = FormatRows(rows);
  for (size_t i = 0; i < plan.steps.size(); ++i) {
    text += std::to_string(i + 1) + ". " + fields::Printable(testplan::StepLine(plan.steps[i])) + "\n";
  }
  program.Print(text);
  return Done;
}

}  // namespace

void AddTestCommands(CLI::App& app, Program& program) {
  auto path = std::make_shared<std::string>();
  CLI::App* test = app.add_subcommand("test", Tr("生产测试计划"));
  test->add_option("--check", *path,
                   Tr("检查测试计划文件, 不连接驱动器: 列出它的内容, 或说明它为何不能使用 (退出状态 8)"))
      ->type_name("PLAN")
      ->required();
  test->callback([&program, path] { program.run = [path](Program& p) { return CheckPlan(p, *path); }; });
}

}  // namespace cli
