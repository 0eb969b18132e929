// korvelt test: a unit through a production test plan (TestRun.cpp), and
// --check PLAN, the plan read and checked as a station would load it,
// without a driver; what it holds is listed, or why it does not fit.
#include <iterator>
#include <memory>

#include "cli/Program.h"
#include "cli/TestRun.h"
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
  auto args = std::make_shared<TestArguments>();
  CLI::App* test = app.add_subcommand("test", Tr("生产测试: 按测试计划测试一台驱动器, 或检查测试计划"));
  CLI::Option* plan = test->add_option("PLAN", args->plan, Tr("测试计划文件"));
  CLI::Option* check =
      test->add_option("--check", args->check,
                       Tr("检查测试计划文件, 不连接驱动器: 列出它的内容, 或说明它为何不能使用 (退出状态 8)"))
          ->type_name("PLAN")
          ->excludes(plan);
  CLI::Option* serial = test->add_option("--serial", args->serial, Tr("被测驱动器的序列号"))->type_name("SN");
  serial->excludes(check);
  const std::pair<const char*, std::string*> texts[] = {{"--station", &args->station},
                                                        {"--operator", &args->operatorName},
                                                        {"--results", &args->results},
                                                        {"--junit", &args->junit},
                                                        {"--html", &args->html},
                                                        {"--mqtt", &args->mqtt}};
  const char* helps[] = {"测试站名称 (默认主机名)", "操作员姓名", "结果文件夹 (默认 $XDG_DATA_HOME/korvelt-demo/results/<测试计划名称>)",
                         "另外把 JUnit XML 写入此文件", "另外把测试报告 (HTML) 写入此文件",
                         "把记录发布到 MQTT 代理: mqtt://[用户[:密码]@]主机[:端口] 或 mqtts://...; 未送达的记录留在发布队列中, 下次发送"};
  const char* types[] = {"NAME", "NAME", "DIR", "FILE", "FILE", "URL"};
  for (size_t i = 0; i < std::size(texts); ++i) {
    test->add_option(texts[i].first, *texts[i].second, Tr(helps[i]))->type_name(types[i])->excludes(check);
  }
  test->add_flag("--assume-confirmed", args->assumeConfirmed, Tr("无人值守: 假定操作员确认每个提示步骤"))->excludes(check);
  test->callback([&program, args, plan, check, serial] {
    program.run = [args, plan, check, serial](Program& p) {
      if (check->count() > 0) return CheckPlan(p, args->check);
      if (plan->count() == 0 || serial->count() == 0) {
        p.Say(Tr("用法: korvelt test PLAN --serial SN, 或 korvelt test --check PLAN"));
        return static_cast<int>(Usage);
      }
      return RunPlan(p, *args);
    };
  });
}

}  // namespace cli
