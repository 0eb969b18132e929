#include "ui/forms/ReciprocateForm.h"

#include <array>

#include "driver/RegisterMap.h"
#include "ui/forms/FieldCodec.h"

namespace forms::reciprocate {
namespace {

// The reciprocation group fills the left column, with the two switches on
// one row and the torque note under its edit, each across the group's
// columns; the preset speeds and the test buttons ("测试操作") share the
// right column.
enum Group { Reciprocation, Switches, TorqueNote, Preset, Tests };
constexpr GroupSpec kGroups[] = {
    {"往复过程控制", 0, 0, 2, 1},
    {nullptr, 1, 0, 1, 3, Reciprocation},
    {nullptr, 8, 0, 1, 3, Reciprocation},
    {"预设正反转速度", 0, 1},
    {"测试操作", 1, 1},
};

constexpr const char* Hz = "Hz(脉冲/秒)";
constexpr uint16_t TorqueMode = 1;

constexpr ListItem kResetMode[] = {{"不复位", 0}, {"SQ2复位", 1}, {"SQ1复位", 2}};
constexpr ListItem kSpeedMode[] = {{"占空比", 0}, {"力矩", TorqueMode}, {"速度闭环", 2}, {"位置闭环", 3}};
constexpr ListItem kContactMode[] = {{"双触点", 0}, {"单触点", 1}};

#define REC(member) KV_RECORD(ReciprocateBlock, member)

constexpr FieldSpec kReciprocation[] = {
    Field::List(1090, "复位方式:", kResetMode, REC(resetMode)).At(Reciprocation, 0),
    Field::Check(1119, "启用复位细调", REC(fineResetEnabled)).At(Switches, 0, 0),
    Field::Edit(1098, "总行程:", REC(totalStroke)).Unit("脉冲").At(Reciprocation, 2),
    Field::Edit(1056, "复位粗调速度:", REC(coarseResetSpeed)).Decimals(1).Chars(5).Unit(Hz).At(Reciprocation, 3),
    Field::Edit(1057, "复位细调速度:", REC(fineResetSpeed)).Decimals(1).Chars(5).Unit(Hz).At(Reciprocation, 4),
    Field::Edit(1058, "完成后速度:", REC(finishSpeed)).Decimals(1).Chars(6).Unit(Hz).At(Reciprocation, 5),
    Field::Edit(1060, "忽略变化量低于", REC(inputDeadband))
        .Decimals(1)
        .Chars(5)
        .Unit("% 的输入信号")
        .Named("输入信号忽略变化量")
        .At(Reciprocation, 6),
    Field::Check(1120, "限位后重新复位", REC(resetAfterLimit)).At(Switches, 0, 1),
    Field::Edit(1059, "复位时转矩:", REC(resetTorqueCurrent)).Decimals(2).Chars(5).Unit("A×N·m/A").At(Reciprocation, 7),
};

#undef REC

constexpr std::array<FieldSpec, 4> PresetFields(uint8_t decimals) {
  return {
      Field::List(1123, "调速方式:", kSpeedMode, KV_RECORD(PresetSpeedBlock, speedMode)).At(Preset, 0),
      Field::List(1124, "控制方式:", kContactMode, KV_RECORD(PresetSpeedBlock, contactMode)).At(Preset, 1),
      Field::Edit(1121, "正转速度:", KV_RECORD(PresetSpeedBlock, forwardSpeed)).Decimals(decimals).Chars(6).At(Preset, 2),
      Field::Edit(1122, "反转速度:", KV_RECORD(PresetSpeedBlock, reverseSpeed)).Decimals(decimals).Chars(6).At(Preset, 3),
  };
}
constexpr std::array<FieldSpec, 4> kPresetTenths = PresetFields(1);
constexpr std::array<FieldSpec, 4> kPresetHundredths = PresetFields(2);
constexpr size_t SpeedModeField = 0;

constexpr FieldSpec kControls[] = {
    Field::Static(0, "(0为最大负载电流对应转矩)").At(TorqueNote, 0),
    Field::Button(ReadReciprocateButton, "读取").At(Reciprocation, 9, 1),
    Field::Button(ConfigureReciprocateButton, "配置").At(Reciprocation, 9, 2),
    Field::Button(ReadPresetButton, "读取").At(Preset, 4, 0),
    Field::Button(ConfigurePresetButton, "配置").At(Preset, 4, 1),
    Field::Button(ResetSq2Button, "SQ2复位").At(Tests, 0, 0),
    Field::Button(ResetSq1Button, "SQ1复位").At(Tests, 0, 1),
    Field::Button(MeasureStrokeButton, "测量行程").At(Tests, 1, 0),
    Field::Button(CancelButton, "取消操作").At(Tests, 1, 1),
};

}  // namespace

std::span<const GroupSpec> Groups() { return kGroups; }
std::span<const FieldSpec> Reciprocation() { return kReciprocation; }

std::span<const FieldSpec> PresetSpeeds(uint16_t speedMode) {
  return speedMode == TorqueMode ? std::span<const FieldSpec>(kPresetHundredths) : kPresetTenths;
}

uint16_t SpeedModeToSend(const FormValues& values, const PresetSpeedBlock& base) {
  PresetSpeedBlock record = base;
  if (values.size() > SpeedModeField) {
    ParseField(kPresetTenths[SpeedModeField], values[SpeedModeField], reinterpret_cast<uint8_t*>(&record));
  }
  return record.speedMode;
}

std::span<const FieldSpec> Controls() { return kControls; }

}  // namespace forms::reciprocate
