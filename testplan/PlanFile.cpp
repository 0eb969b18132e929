#include "testplan/PlanFile.h"

#include "base/Sha256.h"
#include "base/WholeFile.h"
#include "fields/PrintableText.h"
#include "lang/Texts.h"
#include "paramfile/StrictJson.h"
#include "testplan/Steps.h"

namespace testplan {
namespace {

using lang::Fill;
using lang::Tr;

// Deeper than any plan nests (plan, steps, step, measure, measurement).
constexpr int kMaxDepth = 6;
constexpr size_t kMaxRevisionBytes = 64;

std::string NotAPlan(std::string_view why) { return Fill(Tr("不是测试计划: {1}"), {why}); }

Loaded Refuse(std::string refusal) { return {std::nullopt, std::move(refusal)}; }

// "第 3 步 \"空载运行\"", or the number alone while the name is not known.
std::string StepPlace(size_t number, const std::string& name) {
  if (name.empty()) return Fill(Tr("第 {1} 步"), {std::to_string(number)});
  return Fill(Tr("第 {1} 步 \"{2}\""), {std::to_string(number), fields::PrintableCut(name, MaxNameBytes)});
}

std::string ReadStep(const Json& value, size_t number, ParameterFiles& files, Step& step) {
  if (!value.is_object()) return Fill(Tr("{1}: 应为对象"), {StepPlace(number, "")});
  std::string name;
  if (const auto found = value.find("name"); found != value.end() && found->is_string()) name = found->get<std::string>();
  Members members(value, StepPlace(number, name));
  if (std::string refusal = members.Text("name", step.name, MaxNameBytes); !refusal.empty()) return refusal;
  const Json* type = members.Find("type");
  std::string types;
  for (const StepType& known : StepTypes()) {
    types += (types.empty() ? "" : ", ") + std::string(known.key);
    if (type != nullptr && type->is_string() && type->get_ref<const std::string&>() == known.key) {
      step.kind = known.kind;
      return ReadStepBody(members, files, step);
    }
  }
  if (type == nullptr) return members.Refuse("type", Fill(Tr("缺少 (应为 {1})"), {types}));
  return members.Refuse("type", Fill(Tr("未知的步骤类型 {1}; 应为 {2}"),
                                     {fields::PrintableCut(type->dump(), fields::MaxQuotedKey), types}));
}

}  // namespace

FileSource FilesBeside(const std::string& planPath) {
  const size_t slash = planPath.rfind('/');
  const std::string folder = planPath == "-" || slash == std::string::npos ? "" : planPath.substr(0, slash + 1);
  return [folder](const std::string& name) {
    NamedFile file;
    file.path = folder + name;
    file.refusal = base::ReadWholeFile(file.path, paramfile::MaxFileBytes, file.bytes);
    return file;
  };
}

Loaded ParsePlan(std::string_view bytes, const FileSource& files) {
  if (bytes.size() > MaxPlanBytes) return Refuse(NotAPlan(Tr("超过 1 MB")));
  const paramfile::StrictJson parsed = paramfile::ParseStrictJson(bytes, kMaxDepth);
  switch (parsed.fault) {
    case paramfile::JsonFault::None:
      break;
    case paramfile::JsonFault::Syntax:
      return Refuse(NotAPlan(Fill(Tr("JSON 有误 (第 {1} 字节)"), {std::to_string(parsed.byte)})));
    case paramfile::JsonFault::NumberRange:
      return Refuse(NotAPlan(Tr("JSON 有误 (数值超出范围)")));
    case paramfile::JsonFault::TooDeep:
      return Refuse(NotAPlan(Tr("嵌套过深")));
    case paramfile::JsonFault::DuplicateKey:
      return Refuse(Fill(Tr("测试计划中的键 \"{1}\" 出现了两次"), {fields::PrintableCut(parsed.key, fields::MaxQuotedKey)}));
  }
  const Json& document = parsed.document;
  const auto format = document.is_object() ? document.find("format") : document.end();
  if (!document.is_object() || format == document.end() || *format != FormatName) {
    return Refuse(NotAPlan(Fill(Tr("没有 \"format\": \"{1}\""), {FormatName})));
  }
  Members members(document, "");
  members.Find("format");
  const Json* version = members.Find("version");
  if (version == nullptr || !version->is_number_integer() || version->get<int64_t>() != FormatVersion) {
    const std::string which = version == nullptr ? std::string(Tr("(无)")) : version->dump();
    return Refuse(Fill(Tr("测试计划的版本 {1} 不受支持, 本工具读取版本 {2}"),
                       {fields::PrintableCut(which, 40), std::to_string(FormatVersion)}));
  }
  Plan plan;
  plan.sha256 = base::Sha256Hex(bytes);
  if (std::string refusal = members.Text("name", plan.name, MaxNameBytes); !refusal.empty()) return Refuse(refusal);
  if (const Json* revision = members.Find("revision"); revision != nullptr && revision->is_number_unsigned()) {
    plan.revision = std::to_string(revision->get<uint64_t>());
  } else if (std::string refusal = members.Text("revision", plan.revision, kMaxRevisionBytes); !refusal.empty()) {
    return Refuse(refusal);
  }
  if (const Json* serial = members.Find("serialPattern")) {
    std::string refusal;
    if (serial->is_string()) plan.serialPattern = Pattern::Parse(serial->get<std::string>(), refusal);
    if (!serial->is_string()) refusal = Tr("应为文本");
    if (!plan.serialPattern) return Refuse(members.Refuse("serialPattern", refusal));
  }
  const Json* steps = members.Find("steps");
  if (steps == nullptr || !steps->is_array() || steps->empty()) return Refuse(members.Refuse("steps", Tr("应为非空的步骤列表")));
  if (steps->size() > MaxSteps) {
    return Refuse(members.Refuse("steps", Fill(Tr("最多 {1} 步"), {std::to_string(MaxSteps)})));
  }
  if (std::string refusal = members.Unasked(); !refusal.empty()) return Refuse(refusal);
  ParameterFiles parameterFiles(files);
  for (size_t i = 0; i < steps->size(); ++i) {
    Step step;
    if (std::string refusal = ReadStep((*steps)[i], i + 1, parameterFiles, step); !refusal.empty()) return Refuse(refusal);
    plan.steps.push_back(std::move(step));
  }
  return {std::move(plan), {}};
}

Loaded LoadPlan(const std::string& path) {
  std::string bytes;
  if (std::string refusal = base::ReadWholeFile(path, MaxPlanBytes, bytes, "不是测试计划"); !refusal.empty()) {
    return Refuse(refusal);
  }
  Loaded loaded = ParsePlan(bytes, FilesBeside(path));
  if (!loaded.plan) loaded.refusal = path + ": " + loaded.refusal;
  return loaded;
}

}  // namespace testplan
