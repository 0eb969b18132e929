#include "ui/forms/MotorControlForm.h"

#include <algorithm>
#include <climits>

#include "fields/CommandTables.h"
#include "fields/FieldCodec.h"
#include "fields/NumberText.h"
#include "fields/ParamTables.h"

namespace forms::motorcontrol {
namespace {

using fields::FormatScaled;
using fields::ParseScaled;

constexpr int RampGroup = 0;
constexpr int SpeedGroup = 1;
constexpr int PositionGroup = 2;
// Each group's grid: label, control and unit twice, then the buttons.
constexpr int Second = 3;
constexpr int ValueColumn = 2;
constexpr int ButtonColumn = 5;
constexpr int RampButtonColumn = 6;

// The frequency command register holds at most ±3276.7 Hz; the move
// frequency register 0.1 … 6553.5 Hz.
constexpr int64_t FrequencyMaxTenths = 32767;
constexpr int64_t MoveFrequencyMin = 1;
constexpr int64_t MoveFrequencyMax = 65535;

constexpr GroupSpec kGroups[] = {
    {fields::ramp::Title, 0, 0},
    {"电机转速控制", 1, 0},
    {"电机转动位置控制", 2, 0},
};

constexpr FieldSpec Ramp(const char* key, int id, int row, int column) {
  return Put(fields::ramp::Params, key, id).At(RampGroup, row, column);
}

constexpr FieldSpec kRamps[] = {
    Ramp("pwmRise", id::PwmRise, 0, 0).Chars(5),
    Ramp("pwmFall", id::PwmFall, 0, Second).Chars(5),
    Ramp("acceleration", id::Acceleration, 1, 0),
    Ramp("deceleration", id::Deceleration, 1, Second),
};
static_assert(ShowsAll(fields::ramp::Params, kRamps));

constexpr auto& kStopModes = fields::command::StopModes;
constexpr int kStopButtons[] = {id::NormalStop, id::EmergencyStop, id::FreeStop};

constexpr auto& kPositionTypes = fields::command::PositionTypes;
constexpr int kPositionButtons[] = {id::AbsolutePosition, id::RelativePosition};

constexpr FieldSpec kEntries[] = {
    Field::Edit(id::MoveFrequency, "换向频率:").Decimals(1).Unit("Hz").At(PositionGroup, 0, 0),
    Field::Edit(id::FrequencyMax, "最大值:").Chars(6).At(SpeedGroup, 1, Second),
    Field::Edit(id::PositionMax, "最大值:").Chars(10).At(PositionGroup, 1, Second),
    Field::Radio("停止方式:", kStopModes, kStopButtons).Span(4).At(SpeedGroup, 2, 0),
    Field::Radio("位置类型:", kPositionTypes, kPositionButtons).Span(2).At(PositionGroup, 0, Second),
};
static_assert(std::size(kEntries) == EntryCount);
static_assert(kEntries[MoveFrequency].id == id::MoveFrequency && kEntries[FrequencyMax].id == id::FrequencyMax &&
              kEntries[PositionMax].id == id::PositionMax && kEntries[StopMode].buttons[0] == id::NormalStop &&
              kEntries[PositionType].buttons[0] == id::AbsolutePosition);

constexpr FieldSpec kControls[] = {
    Field::Button(id::ReadRamp, "读取").At(RampGroup, 0, RampButtonColumn),
    Field::Button(id::SetRamp, "设定").At(RampGroup, 1, RampButtonColumn),

    Field::Slider(id::PwmSlider, "输出PWM:").At(SpeedGroup, 0, 0),
    Field::Static(id::PwmLabel, "0%").At(SpeedGroup, 0, ValueColumn),
    Field::Static(0, "最大值:100.0").Span(2).At(SpeedGroup, 0, Second),
    Field::Button(id::RunPwm, "操作").At(SpeedGroup, 0, ButtonColumn),
    Field::Slider(id::FrequencySlider, "换向频率:").At(SpeedGroup, 1, 0),
    Field::Static(id::FrequencyLabel, "0Hz").At(SpeedGroup, 1, ValueColumn),
    Field::Button(id::RunFrequency, "操作").At(SpeedGroup, 1, ButtonColumn),
    Field::Button(id::Stop, "停止").At(SpeedGroup, 2, ButtonColumn),

    Field::Slider(id::PositionSlider, "转动位置:").At(PositionGroup, 1, 0),
    Field::Static(id::PositionLabel, "0").At(PositionGroup, 1, ValueColumn),
    Field::Button(id::RunPosition, "操作").At(PositionGroup, 1, ButtonColumn),
};

FieldValue Text(const char* text) {
  FieldValue value;
  value.text = text;
  return value;
}

FieldValue Index(int index) {
  FieldValue value;
  value.index = index;
  return value;
}

}  // namespace

std::span<const GroupSpec> Groups() { return kGroups; }
std::span<const FieldSpec> Ramps() { return kRamps; }
std::span<const FieldSpec> Entries() { return kEntries; }
std::span<const FieldSpec> Controls() { return kControls; }

FormValues InitialEntries() {
  FormValues values(EntryCount);
  values[MoveFrequency] = Text("500.0");
  values[FrequencyMax] = Text("1000.0");
  values[PositionMax] = Text("10000");
  values[StopMode] = Index(0);
  values[PositionType] = Index(0);
  return values;
}

SliderMaximum FrequencyMaximum(std::string_view text) {
  const int64_t tenths = std::clamp<int64_t>(ParseScaled(text, 1).value_or(0), 1, FrequencyMaxTenths);
  return {FormatScaled(tenths, 1), static_cast<int>(tenths)};
}

SliderMaximum PositionMaximum(std::string_view text) {
  // As atoi reads it: spaces, a sign, the digits up to the first other
  // character; beyond the largest int it stays the largest.
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || (text[i] >= '\t' && text[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  int64_t value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = std::min<int64_t>(value * 10 + (text[i] - '0'), INT_MAX);
  }
  const int limit = negative || value < 1 ? 1 : static_cast<int>(value);
  return {std::to_string(limit), limit};
}

std::optional<uint16_t> MoveFrequencyWord(std::string_view text) {
  const std::optional<int64_t> tenths = ParseScaled(text, kEntries[MoveFrequency].decimals);
  if (!tenths) return std::nullopt;
  return static_cast<uint16_t>(std::clamp(*tenths, MoveFrequencyMin, MoveFrequencyMax));
}

std::string MoveFrequencyMessage() {
  return RangeMessage(kEntries[MoveFrequency], MoveFrequencyMin, MoveFrequencyMax);
}

std::string PwmText(int position) { return FormatScaled(position, 1) + "%"; }
std::string FrequencyText(int position) { return FormatScaled(position, 1) + "Hz"; }
std::string PositionText(int position) { return std::to_string(position); }

}  // namespace forms::motorcontrol
