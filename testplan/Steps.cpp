#include "testplan/Steps.h"

#include <cmath>
#include <cstdlib>

#include "base/Sha256.h"
#include "fields/CFormat.h"
#include "lang/Texts.h"

namespace testplan {
namespace {

using lang::Fill;
using lang::Tr;

constexpr StepType kStepTypes[] = {
    {"identify", StepKind::Identify, "识别"},
    {"configure", StepKind::Configure, "配置"},
    {"check-parameters", StepKind::CheckParameters, "核对参数"},
    {"learn", StepKind::Learn, "电机学习"},
    {"run", StepKind::Run, "运行"},
    {"stop", StepKind::Stop, "停止"},
    {"wait", StepKind::Wait, "等待"},
    {"prompt", StepKind::Prompt, "提示"},
};

// The model register holds sixteen bytes.
constexpr size_t kModelBytes = 16;
constexpr size_t kMaxFileName = 255;

// The ranges of the motor control page, in register counts: duty within
// full duty either way, the frequency slider's widest maximum, the move
// frequency as the page clamps it.
constexpr int32_t kDutyLimit = 1000;
constexpr int32_t kFrequencyLimit = 32767;
constexpr int32_t kMoveFrequencyLowest = 1;
constexpr int32_t kMoveFrequencyHighest = 65535;

// Where a member object sits: "第 6 步 \"空载\": \"command\"".
std::string Nested(const Members& outer, const char* key) {
  return Fill(Tr("{1}: {2}"), {outer.Where(), "\"" + std::string(key) + "\""});
}

// "1.05": major, then the minor as the box shows it (two digits at least).
std::optional<FirmwareVersion> ParseVersion(const std::string& text) {
  const size_t dot = text.find('.');
  if (dot == std::string::npos || dot == 0 || dot > 3 || text.size() - dot - 1 < 2 || text.size() - dot - 1 > 3) {
    return std::nullopt;
  }
  if (text.find_first_not_of("0123456789.") != std::string::npos || text.find('.', dot + 1) != std::string::npos) {
    return std::nullopt;
  }
  const int major = std::atoi(text.substr(0, dot).c_str());
  const int minor = std::atoi(text.substr(dot + 1).c_str());
  if (major > 255 || minor > 255 || (text.size() - dot - 1 == 3 && minor < 100)) return std::nullopt;
  return FirmwareVersion{major, minor};
}

std::string ReadVersion(Members& members, const char* key, std::optional<FirmwareVersion>& out) {
  const Json* value = members.Find(key);
  if (value == nullptr) return {};
  if (value->is_string()) out = ParseVersion(value->get<std::string>());
  if (!out) return members.Refuse(key, Tr("应为设备信息中显示的版本号, 如 \"1.05\" (主版本 0..255, 次版本两位数)"));
  return {};
}

std::string ReadIdentify(Members& members, ParameterFiles&, Step& step) {
  Identify identify;
  const Json* exact = members.Find("model");
  const Json* pattern = members.Find("modelPattern");
  if (exact != nullptr && pattern != nullptr) return members.Refuse(Tr("\"model\" 和 \"modelPattern\" 只能给一个"));
  const char* key = exact != nullptr ? "model" : "modelPattern";
  if (const Json* model = exact != nullptr ? exact : pattern) {
    if (!model->is_string()) return members.Refuse(key, Tr("应为文本"));
    std::string text = model->get<std::string>();
    if (exact != nullptr) {
      if (text.size() > kModelBytes) return members.Refuse(key, Tr("超过型号的 16 个字节"));
      text = Pattern::Escaped(text);
    }
    std::string refusal;
    identify.model = Pattern::Parse(text, refusal);
    if (!identify.model) return members.Refuse(key, refusal);
    if (identify.model->ShortestMatch() > kModelBytes) return members.Refuse(key, Tr("不能匹配 16 个字节以内的型号"));
  }
  if (const Json* version = members.Find("version")) {
    if (!version->is_object()) return members.Refuse("version", Tr("应为对象, 如 {\"min\": \"1.00\", \"max\": \"1.99\"}"));
    Members range(*version, Nested(members, "version"));
    if (std::string refusal = ReadVersion(range, "min", identify.lowestVersion); !refusal.empty()) return refusal;
    if (std::string refusal = ReadVersion(range, "max", identify.highestVersion); !refusal.empty()) return refusal;
    if (std::string refusal = range.Unasked(); !refusal.empty()) return refusal;
    if (!identify.lowestVersion && !identify.highestVersion) return range.Refuse(Tr("应至少给出 \"min\" 或 \"max\""));
    if (identify.lowestVersion && identify.highestVersion && *identify.lowestVersion > *identify.highestVersion) {
      return range.Refuse(Tr("\"min\" 大于 \"max\""));
    }
  }
  if (!identify.model && !identify.lowestVersion && !identify.highestVersion) {
    return members.Refuse(Tr("应至少给出 \"model\", \"modelPattern\" 或 \"version\""));
  }
  step.what = std::move(identify);
  return {};
}

// A name that stays in the plan's folder: relative, without "..".
bool StaysBeside(const std::string& name) {
  if (name.empty() || name.front() == '/' || name.back() == '/') return false;
  for (size_t start = 0; start <= name.size();) {
    const size_t end = std::min(name.find('/', start), name.size());
    const std::string_view part = std::string_view(name).substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    start = end + 1;
  }
  return true;
}

std::string ReadParameters(Members& members, ParameterFiles& files, Step& step) {
  Parameters parameters;
  std::string name;
  if (std::string refusal = members.Text("file", name, kMaxFileName); !refusal.empty()) return refusal;
  if (!StaysBeside(name)) return members.Refuse("file", Tr("应为测试计划所在文件夹中的相对路径 (不含 ..)"));
  if (std::string refusal = files.Load(name, parameters); !refusal.empty()) return members.Refuse("file", refusal);
  step.what = std::move(parameters);
  return {};
}

std::string ReadLearn(Members& members, ParameterFiles&, Step& step) {
  Learn learn;
  if (std::string refusal = members.Seconds("within", learn.within, false, std::nullopt); !refusal.empty()) {
    return refusal;
  }
  step.what = learn;
  return {};
}

// A number of the command in register counts of `scale`, within [low, high].
std::string ReadCount(Members& members, const char* key, double scale, int32_t low, int32_t high, const char* unit,
                      int32_t& out) {
  std::optional<double> value;
  if (std::string refusal = members.Number(key, value); !refusal.empty()) return refusal;
  const int decimals = scale < 1 ? 1 : 0;
  const std::string range = Fill(Tr("应为 {1} 到 {2} {3}"), {fields::CFormat("%.*f", decimals, low * scale),
                                                             fields::CFormat("%.*f", decimals, high * scale), Tr(unit)});
  if (!value) return members.Refuse(key, Fill(Tr("缺少 ({1})"), {range}));
  const double counts = std::round(*value / scale);
  if (counts < low || counts > high || (scale >= 1 && counts != *value)) return members.Refuse(key, range);
  out = static_cast<int32_t>(counts);
  return {};
}

std::string ReadCommand(Members& step, RunCommand& command) {
  const Json* value = step.Find("command");
  if (value == nullptr || !value->is_object()) return step.Refuse("command", Tr("应为对象, 如 {\"mode\": \"frequency\", \"frequency\": 100}"));
  Members members(*value, Nested(step, "command"));
  uint16_t mode = 0;
  if (std::string refusal = members.Choice("mode", RunModeNames, mode, std::nullopt); !refusal.empty()) return refusal;
  command.mode = static_cast<RunMode>(mode);
  std::string refusal;
  switch (command.mode) {
    case RunMode::Pwm:
      refusal = ReadCount(members, "duty", 0.1, -kDutyLimit, kDutyLimit, "%", command.value);
      break;
    case RunMode::Frequency:
      refusal = ReadCount(members, "frequency", 0.1, -kFrequencyLimit, kFrequencyLimit, "Hz", command.value);
      break;
    case RunMode::Position: {
      refusal = ReadCount(members, "position", 1, INT32_MIN, INT32_MAX, "脉冲", command.value);
      int32_t frequency = 0;
      if (refusal.empty()) {
        refusal = ReadCount(members, "frequency", 0.1, kMoveFrequencyLowest, kMoveFrequencyHighest, "Hz", frequency);
      }
      command.moveFrequency = static_cast<uint16_t>(frequency);
      if (refusal.empty()) refusal = members.Choice("type", PositionTypeNames, command.positionType, std::nullopt);
      break;
    }
  }
  if (refusal.empty()) refusal = members.Choice("stop", StopModeNames, command.stopMode, uint16_t{0});
  if (refusal.empty()) refusal = members.Unasked();
  return refusal;
}

std::string ReadRun(Members& members, ParameterFiles&, Step& step) {
  Run run;
  if (std::string refusal = ReadCommand(members, run.command); !refusal.empty()) return refusal;
  if (std::string refusal = members.Seconds("settle", run.settle, true, Milliseconds(0)); !refusal.empty()) {
    return refusal;
  }
  if (std::string refusal = members.Seconds("window", run.window, false, std::nullopt); !refusal.empty()) {
    return refusal;
  }
  if (const Json* list = members.Find("measure")) {
    if (!list->is_array()) return members.Refuse("measure", Tr("应为测量的列表"));
    if (list->size() > MaxMeasurements) {
      return members.Refuse("measure", Fill(Tr("最多 {1} 个测量"), {std::to_string(MaxMeasurements)}));
    }
    for (size_t i = 0; i < list->size(); ++i) {
      Measurement measurement;
      std::string refusal = ReadMeasurement((*list)[i], i + 1, members.Where(), measurement);
      if (!refusal.empty()) return refusal;
      run.measurements.push_back(measurement);
    }
  }
  step.what = std::move(run);
  return {};
}

std::string ReadStop(Members& members, ParameterFiles&, Step& step) {
  Stop stop;
  if (std::string refusal = members.Choice("mode", StopModeNames, stop.mode, uint16_t{0}); !refusal.empty()) {
    return refusal;
  }
  step.what = stop;
  return {};
}

std::string ReadWait(Members& members, ParameterFiles&, Step& step) {
  Wait wait;
  if (std::string refusal = members.Seconds("seconds", wait.duration, false, std::nullopt); !refusal.empty()) {
    return refusal;
  }
  step.what = wait;
  return {};
}

std::string ReadPrompt(Members& members, ParameterFiles&, Step& step) {
  Prompt prompt;
  if (std::string refusal = members.Text("text", prompt.text, MaxPromptBytes, true); !refusal.empty()) return refusal;
  step.what = std::move(prompt);
  return {};
}

using Reader = std::string (*)(Members&, ParameterFiles&, Step&);
struct KindReader {
  StepKind kind;
  Reader read;
};
constexpr KindReader kReaders[] = {
    {StepKind::Identify, ReadIdentify}, {StepKind::Configure, ReadParameters},
    {StepKind::CheckParameters, ReadParameters}, {StepKind::Learn, ReadLearn},
    {StepKind::Run, ReadRun}, {StepKind::Stop, ReadStop},
    {StepKind::Wait, ReadWait}, {StepKind::Prompt, ReadPrompt},
};

}  // namespace

std::span<const StepType> StepTypes() { return kStepTypes; }

const StepType& TypeOf(StepKind kind) {
  for (const StepType& type : kStepTypes) {
    if (type.kind == kind) return type;
  }
  return kStepTypes[0];
}

std::string ParameterFiles::Load(const std::string& name, Parameters& out) {
  if (const auto found = loaded_.find(name); found != loaded_.end()) {
    out = found->second;
    return {};
  }
  if (loaded_.size() >= MaxParameterFiles) {
    return Fill(Tr("一个测试计划最多使用 {1} 个参数文件"), {std::to_string(MaxParameterFiles)});
  }
  const NamedFile read = files_(name);
  // The reader's refusal names the file already.
  if (!read.refusal.empty()) return read.refusal;
  const std::string& path = read.path.empty() ? name : read.path;
  paramfile::Loaded loaded = paramfile::ParseParamFile(read.bytes);
  if (!loaded.file) return Fill(Tr("参数文件 {1}: {2}"), {path, loaded.refusal});
  if (loaded.file->blocks.empty()) return Fill(Tr("参数文件 {1}: {2}"), {path, Tr("没有参数块")});
  out = {name, path, base::Sha256Hex(read.bytes), std::make_shared<const paramfile::ParamFile>(std::move(*loaded.file))};
  loaded_.emplace(name, out);
  return {};
}

const char* StatisticText(Statistic statistic) {
  constexpr const char* kTexts[] = {"平均值", "最小值", "最大值", "标准差"};
  return kTexts[static_cast<size_t>(statistic)];
}

std::string ReadStepBody(Members& members, ParameterFiles& files, Step& step) {
  for (const KindReader& reader : kReaders) {
    if (reader.kind != step.kind) continue;
    if (std::string refusal = reader.read(members, files, step); !refusal.empty()) return refusal;
    return members.Unasked();
  }
  return members.Refuse(Tr("未知的步骤"));
}

}  // namespace testplan
