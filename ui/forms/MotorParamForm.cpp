#include "ui/forms/MotorParamForm.h"

#include "link/FrameCodec.h"
#include "fields/CommandTables.h"
#include "fields/ParamTables.h"
#include "lang/Texts.h"

namespace forms::motorparam {
namespace {

constexpr int Group = 0;
// Two label, edit and unit triples per row.
constexpr int Second = 3;

constexpr GroupSpec kGroups[] = {{fields::motor::Title, 0, 0}};

constexpr int kAlgorithmButtons[] = {1050, 1051};

constexpr FieldSpec Number(const char* key, int id, int chars, int row, int column) {
  return Put(fields::motor::Params, key, id).Chars(chars).At(Group, row, column);
}

constexpr FieldSpec kParams[] = {
    Number("ratedCurrent", 1043, 6, 0, 0),
    Number("maxLoadCurrent", 1044, 6, 0, Second),
    Number("brakeCurrent", 1045, 6, 1, 0),
    Number("gearRatio", 1094, 6, 1, Second),
    Number("pwmStartBuffer", 1049, 4, 2, 0),
    Number("pwmStopBuffer", 1098, 4, 2, Second),
    Number("maxFrequency", 1083, 6, 3, 0),
    Number("defaultFrequency", 1095, 6, 3, Second),
    Number("maxAcceleration", 1046, 6, 4, 0),
    Number("defaultAcceleration", 1096, 6, 4, Second),
    Number("maxDeceleration", 1047, 6, 5, 0),
    Number("defaultDeceleration", 1058, 6, 5, Second),
    Number("positionTolerance", 1061, 3, 6, 0),
    Number("poleCount", 1093, 3, 6, Second),
    Put(fields::motor::Params, "speedAlgorithm", 0).AsRadio(kAlgorithmButtons).Span(5).At(Group, 7),
    Put(fields::motor::Params, "overshootCorrection", 1102).Span(3).At(Group, 8),
    Put(fields::motor::Params, "learningDisabled", 1073).Span(3).At(Group, 8, Second),
    Put(fields::motor::Params, "learnState", id::LearnState).Span(2).At(Group, 9),
    Put(fields::motor::Params, "phaseOrder", id::PhaseOrder).ReadOnly().Chars(17).Span(3).At(Group, 10),
};
static_assert(ShowsAll(fields::motor::Params, kParams));

// The learning button beside the state, read and configure at the right.
constexpr FieldSpec kControls[] = {
    Field::Button(id::StartLearning, StartLearningText).At(Group, 9, Second),
    Field::Button(id::Read, "读取").Span(2).At(Group, 9, Second + 1),
    Field::Button(id::Configure, "配置").Span(2).At(Group, 10, Second + 1),
};

}  // namespace

std::span<const GroupSpec> Groups() { return kGroups; }
std::span<const FieldSpec> Params() { return kParams; }
std::span<const FieldSpec> Controls() { return kControls; }

FormValues InitialParams() {
  FormValues values(std::size(kParams));
  for (size_t i = 0; i < values.size(); ++i) {
    if (kParams[i].kind == FieldKind::Radio || kParams[i].kind == FieldKind::Check) values[i].index = 0;
  }
  return values;
}

std::string LearnedPhaseOrder(const LearningBlock& block) {
  return fields::command::LearnedPhaseOrderText(block.words + RegisterMap::LearningFirstResultWord);
}

std::string LearningMessage(const LearningReport& report) {
  switch (report.end) {
    case LearningReport::End::StartRefused:
    case LearningReport::End::PollFailed:
      return ResultText(report.result);
    case LearningReport::End::Succeeded:
      return lang::Tr("学习成功");
    case LearningReport::End::Failed:
      return lang::Tr("学习失败");
    case LearningReport::End::AbnormalStop:
      return lang::Tr("学习异常终止");
  }
  return {};
}

}  // namespace forms::motorparam
