#include "ui/forms/ReciprocateForm.h"

#include <array>

#include "driver/RegisterMap.h"
#include "fields/CommandTexts.h"
#include "fields/FieldCodec.h"
#include "fields/ParamTables.h"

namespace forms::reciprocate {
namespace {

// The reciprocation group fills the left column, with the two switches on
// one row and the torque note under its edit, each across the group's
// columns; the preset speeds and the test buttons ("测试操作") share the
// right column.
enum Group { Reciprocation, Switches, TorqueNote, Preset, Tests };
constexpr GroupSpec kGroups[] = {
    {fields::reciprocate::Title, 0, 0, 2, 1},
    {nullptr, 1, 0, 1, 3, Reciprocation},
    {nullptr, 8, 0, 1, 3, Reciprocation},
    {fields::preset::Title, 0, 1},
    {"测试操作", 1, 1},
};

constexpr FieldSpec Speed(const char* key, int id, int chars, int row) {
  return Put(fields::reciprocate::Params, key, id).Chars(chars).At(Reciprocation, row);
}

constexpr FieldSpec kReciprocation[] = {
    Put(fields::reciprocate::Params, "resetMode", 1090).At(Reciprocation, 0),
    Put(fields::reciprocate::Params, "fineResetEnabled", 1119).At(Switches, 0, 0),
    Put(fields::reciprocate::Params, "totalStroke", 1098).At(Reciprocation, 2),
    Speed("coarseResetSpeed", 1056, 5, 3),
    Speed("fineResetSpeed", 1057, 5, 4),
    Speed("finishSpeed", 1058, 6, 5),
    Speed("inputDeadband", 1060, 5, 6),
    Put(fields::reciprocate::Params, "resetAfterLimit", 1120).At(Switches, 0, 1),
    Speed("resetTorqueCurrent", 1059, 5, 7),
};
static_assert(ShowsAll(fields::reciprocate::Params, kReciprocation));

template <const std::array<fields::ParamSpec, 4>& Params>
constexpr std::array<FieldSpec, 4> PresetFields() {
  return {
      Put(Params, "speedMode", 1123).At(Preset, 0),
      Put(Params, "contactMode", 1124).At(Preset, 1),
      Put(Params, "forwardSpeed", 1121).Chars(6).At(Preset, 2),
      Put(Params, "reverseSpeed", 1122).Chars(6).At(Preset, 3),
  };
}
constexpr std::array<FieldSpec, 4> kPresetTenths = PresetFields<fields::preset::Tenths>();
constexpr std::array<FieldSpec, 4> kPresetHundredths = PresetFields<fields::preset::Hundredths>();
constexpr size_t SpeedModeField = fields::preset::SpeedModeParam;

// The test buttons say what their command register value does.
constexpr const char* CommandLabel(uint32_t value) {
  for (const ListItem& item : fields::ReciprocateCommands) {
    if (item.value == value) return item.text;
  }
  return "";
}

constexpr FieldSpec kControls[] = {
    Field::Static(0, "(0为最大负载电流对应转矩)").At(TorqueNote, 0),
    Field::Button(ReadReciprocateButton, "读取").At(Reciprocation, 9, 1),
    Field::Button(ConfigureReciprocateButton, "配置").At(Reciprocation, 9, 2),
    Field::Button(ReadPresetButton, "读取").At(Preset, 4, 0),
    Field::Button(ConfigurePresetButton, "配置").At(Preset, 4, 1),
    Field::Button(ResetSq2Button, CommandLabel(RegisterMap::ReciprocateResetSq2)).At(Tests, 0, 0),
    Field::Button(ResetSq1Button, CommandLabel(RegisterMap::ReciprocateResetSq1)).At(Tests, 0, 1),
    Field::Button(MeasureStrokeButton, CommandLabel(RegisterMap::ReciprocateMeasureStroke)).At(Tests, 1, 0),
    Field::Button(CancelButton, CommandLabel(RegisterMap::ReciprocateCancel)).At(Tests, 1, 1),
};

}  // namespace

std::span<const GroupSpec> Groups() { return kGroups; }
std::span<const FieldSpec> Reciprocation() { return kReciprocation; }

std::span<const FieldSpec> PresetSpeeds(uint16_t speedMode) {
  return speedMode == fields::preset::TorqueMode ? std::span<const FieldSpec>(kPresetHundredths) : kPresetTenths;
}

uint16_t SpeedModeToSend(const FormValues& values, const PresetSpeedBlock& base) {
  PresetSpeedBlock record = base;
  if (values.size() > SpeedModeField) {
    fields::ParseField(kPresetTenths[SpeedModeField], values[SpeedModeField], reinterpret_cast<uint8_t*>(&record));
  }
  return record.speedMode;
}

std::span<const FieldSpec> Controls() { return kControls; }

}  // namespace forms::reciprocate
