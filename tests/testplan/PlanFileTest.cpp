// The plan loader on the example plan and on that plan spoilt one value at a
// time: each refusal names the step by its number and name and the field.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "base/Sha256.h"
#include "fields/StatusTexts.h"
#include "testplan/PlanFile.h"

namespace {

namespace tp = testplan;
using nlohmann::ordered_json;

std::string GoodPlanText() {
  std::ifstream in(KORVELT_GOOD_PLAN);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// The parameter file beside the plan: a template of one ramp.
tp::NamedFile Beside(const std::string& name) {
  tp::NamedFile file{"plans/" + name, {}, {}};
  if (name == "factory.json") {
    file.bytes = R"({"format": "korvelt-parameters", "version": 1, "blocks": {"ramp": {"fields": [{"key": "pwmRise", "text": "2.5"}]}}})";
  } else if (name == "empty.json") {
    file.bytes = R"({"format": "korvelt-parameters", "version": 1, "blocks": {}})";
  } else {
    file.refusal = "无法打开 plans/" + name + ": No such file or directory";
  }
  return file;
}

size_t FieldIndex(const char* key) {
  for (size_t i = 0; i < fields::StatusFields().size(); ++i) {
    if (std::string(fields::StatusFields()[i].key) == key) return i;
  }
  return SIZE_MAX;
}

TEST(PlanFile, TheExamplePlanIsTakenWithEveryValueAsTheDriverTakesIt) {
  const std::string text = GoodPlanText();
  const tp::Loaded loaded = tp::ParsePlan(text, Beside);
  ASSERT_TRUE(loaded.plan) << loaded.refusal;
  const tp::Plan& plan = *loaded.plan;
  EXPECT_EQ(plan.name, "KVB-4815 出厂测试");
  EXPECT_EQ(plan.revision, "C");
  EXPECT_EQ(plan.sha256, base::Sha256Hex(text));
  ASSERT_TRUE(plan.serialPattern);
  EXPECT_TRUE(plan.serialPattern->Matches("KV4815-000123"));
  EXPECT_FALSE(plan.serialPattern->Matches("KV4815-00012"));
  EXPECT_FALSE(plan.serialPattern->Matches("KV4815-00012X"));

  const std::vector<tp::StepKind> kinds = {tp::StepKind::Identify, tp::StepKind::Configure, tp::StepKind::CheckParameters,
                                           tp::StepKind::Prompt,   tp::StepKind::Learn,     tp::StepKind::Run,
                                           tp::StepKind::Run,      tp::StepKind::Run,       tp::StepKind::Stop,
                                           tp::StepKind::Wait};
  ASSERT_EQ(plan.steps.size(), kinds.size());
  for (size_t i = 0; i < kinds.size(); ++i) EXPECT_EQ(plan.steps[i].kind, kinds[i]) << i;

  const auto& identify = std::get<tp::Identify>(plan.steps[0].what);
  EXPECT_TRUE(identify.model->Matches("KVB-4815-RS485-S"));
  EXPECT_FALSE(identify.model->Matches("KVB-4815-RS485"));
  EXPECT_EQ(identify.lowestVersion->Word(), 0x0100);
  EXPECT_EQ(identify.highestVersion->Word(), 0x0163);
  const auto& parameters = std::get<tp::Parameters>(plan.steps[1].what);
  EXPECT_EQ(parameters.path, "plans/factory.json");
  EXPECT_EQ(parameters.parameters->blocks.size(), 1u);
  // Both steps that name it share the one file read.
  EXPECT_EQ(std::get<tp::Parameters>(plan.steps[2].what).parameters, parameters.parameters);
  EXPECT_EQ(std::get<tp::Learn>(plan.steps[4].what).within, std::chrono::seconds(30));

  const auto& run = std::get<tp::Run>(plan.steps[5].what);
  EXPECT_EQ(run.command.mode, tp::RunMode::Frequency);
  EXPECT_EQ(run.command.value, 1000);  // 0.1 Hz
  EXPECT_EQ(run.settle, std::chrono::seconds(2));
  EXPECT_EQ(run.window, std::chrono::seconds(3));
  ASSERT_EQ(run.measurements.size(), 3u);
  EXPECT_EQ(run.measurements[0].field, FieldIndex("motorSpeed"));
  EXPECT_EQ(run.measurements[0].low, 950);
  EXPECT_EQ(run.measurements[0].high, 1050);
  EXPECT_EQ(run.measurements[0].marginal, 10);
  EXPECT_EQ(run.measurements[1].statistic, tp::Statistic::StandardDeviation);
  EXPECT_FALSE(run.measurements[1].low);
  EXPECT_EQ(std::get<tp::Run>(plan.steps[6].what).command.value, 250);  // 0.1 %
  const auto& move = std::get<tp::Run>(plan.steps[7].what).command;
  EXPECT_EQ(move.value, 10000);
  EXPECT_EQ(move.moveFrequency, 5000);
  EXPECT_EQ(move.positionType, 1);
  EXPECT_EQ(move.stopMode, 1);
  EXPECT_EQ(std::get<tp::Stop>(plan.steps[8].what).mode, 2);
  EXPECT_EQ(std::get<tp::Wait>(plan.steps[9].what).duration, std::chrono::milliseconds(1500));
}

// One value of the example plan changed (or removed, for a null value), and
// the words its refusal must hold.
struct BadCase {
  const char* pointer;
  ordered_json value;
  std::vector<const char*> says;
};

TEST(PlanFile, APlanThatDoesNotFitIsRefusedNamingTheStepAndTheField) {
  const std::vector<BadCase> cases = {
      {"/steps/0/type", "calibrate", {"第 1 步 \"型号与版本\"", "calibrate"}},
      {"/steps/5/measure/0/field", "speed", {"第 6 步 \"空载 100 Hz\"", "第 1 个测量", "speed", "motorSpeed"}},
      {"/steps/5/measure/0/field", "errorState", {"第 6 步", "errorState", "不是测量值"}},
      {"/steps/5/measure/0/unit", "Hz", {"第 6 步", "motorSpeed", "RPM", "Hz"}},
      {"/steps/5/measure/0/unit", nullptr, {"第 6 步", "motorSpeed", "\"unit\"", "RPM"}},
      {"/steps/5/measure/2/low", -1, {"第 6 步", "第 3 个测量 (phaseCurrent)", "\"low\"", "0.00 到 655.35 A"}},
      {"/steps/5/measure/0/high", 900, {"第 6 步", "motorSpeed", "\"low\" 大于 \"high\""}},
      {"/steps/5/measure/0/marginal", 60, {"第 6 步", "motorSpeed", "\"marginal\""}},
      {"/steps/5/measure/0/hihg", 1000, {"第 6 步", "motorSpeed", "未知的键 \"hihg\""}},
      {"/steps/5/measure/1/stat", "median", {"第 6 步", "motorSpeed", "\"stat\"", "stddev"}},
      {"/steps/5/window", 0, {"第 6 步 \"空载 100 Hz\"", "\"window\"", "大于 0"}},
      {"/steps/5/window", nullptr, {"第 6 步", "\"window\"", "缺少"}},
      {"/steps/6/command/duty", 150, {"第 7 步 \"PWM 25%\"", "\"duty\"", "-100.0 到 100.0 %"}},
      {"/steps/7/command/position", 10.5, {"第 8 步", "\"position\""}},
      {"/steps/7/command/type", nullptr, {"第 8 步", "\"type\"", "absolute"}},
      {"/steps/7/command/frequency", 0, {"第 8 步", "\"frequency\"", "0.1 到 6553.5 Hz"}},
      {"/steps/8/mode", "hard", {"第 9 步 \"停止\"", "\"mode\"", "emergency"}},
      {"/steps/1/file", "missing.json", {"第 2 步 \"写入出厂参数\"", "missing.json"}},
      {"/steps/1/file", "empty.json", {"第 2 步", "empty.json", "没有参数块"}},
      {"/steps/2/file", "../factory.json", {"第 3 步 \"核对出厂参数\"", "\"file\"", ".."}},
      {"/steps/0/model", "KVB-4815-RS485-S2", {"第 1 步", "\"model\"", "16"}},
      {"/steps/0/modelPattern", "KVB-*", {"第 1 步", "\"model\"", "\"modelPattern\""}},
      {"/steps/0/version/min", "1.5", {"第 1 步", "\"version\"", "\"min\"", "1.05"}},
      {"/steps/0/version/min", "2.00", {"第 1 步", "\"version\"", "\"min\" 大于 \"max\""}},
      {"/steps/3/name", nullptr, {"第 4 步", "\"name\"", "缺少"}},
      {"/steps/4/within", -5, {"第 5 步 \"电机学习\"", "\"within\""}},
      {"/serialPattern", "KV[0-9", {"\"serialPattern\"", "["}},
      {"/serialPattern", "KV[9-0]", {"\"serialPattern\"", "颠倒"}},
      {"/version", 2, {"版本 2 不受支持"}},
      {"/format", "korvelt-parameters", {"不是测试计划", "korvelt-test-plan"}},
      {"/steps", ordered_json::array(), {"\"steps\""}},
  };
  const ordered_json good = ordered_json::parse(GoodPlanText());
  for (const BadCase& bad : cases) {
    ordered_json plan = good;
    const ordered_json::json_pointer pointer(bad.pointer);
    if (bad.value.is_null()) {
      plan[pointer.parent_pointer()].erase(pointer.back());
    } else {
      plan[pointer] = bad.value;
    }
    const tp::Loaded loaded = tp::ParsePlan(plan.dump(), Beside);
    ASSERT_FALSE(loaded.plan) << bad.pointer;
    for (const char* words : bad.says) {
      EXPECT_NE(loaded.refusal.find(words), std::string::npos) << bad.pointer << ": " << loaded.refusal << "\n  lacks: " << words;
    }
  }
  // A key given twice would otherwise be taken silently, the last winning.
  const tp::Loaded twice = tp::ParsePlan(R"({"format": "korvelt-test-plan", "version": 1, "version": 1})", Beside);
  EXPECT_NE(twice.refusal.find("\"version\" 出现了两次"), std::string::npos) << twice.refusal;
}

TEST(PlanFile, PatternsMatchWholeTexts) {
  struct Case {
    const char* pattern;
    const char* text;
    bool matches;
  };
  const Case cases[] = {
      {"KVB-*", "KVB-4815", true},     {"KVB-*", "XKVB-4815", false},  {"*-S", "KVB-4815-RS485-S", true},
      {"KV??", "KV12", true},          {"KV??", "KV123", false},       {"[A-C]9", "B9", true},
      {"[!A-C]9", "B9", false},        {"a\\*b", "a*b", true},         {"a\\*b", "axb", false},
      {"*a*a*a*a*b", "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", false},  {"**", "", true},
  };
  for (const Case& c : cases) {
    std::string refusal;
    const std::optional<tp::Pattern> pattern = tp::Pattern::Parse(c.pattern, refusal);
    ASSERT_TRUE(pattern) << c.pattern << ": " << refusal;
    EXPECT_EQ(pattern->Matches(c.text), c.matches) << c.pattern << " ~ " << c.text;
  }
}

}  // namespace
