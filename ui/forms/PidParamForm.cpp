#include "ui/forms/PidParamForm.h"

#include "fields/ParamTables.h"

namespace forms::pid {
namespace {

constexpr int Group = 0;
constexpr int SpeedRow = 0;
constexpr int PositionRow = 1;
constexpr int HoldingRow = 2;
constexpr int ButtonRow = 3;
// Each gain is a caption and its edit; the row's own caption comes first.
constexpr int Kp = 1;
constexpr int Ki = 3;
constexpr int Kd = 5;
constexpr int GainChars = 8;

constexpr FieldSpec Gain(const char* key, int id, int row, int column) {
  return Put(fields::pid::Params, key, id).Chars(GainChars).At(Group, row, column);
}

constexpr GroupSpec kGroups[] = {{fields::pid::Title, 0, 0}};

constexpr FieldSpec kGains[] = {
    Gain("holdKp", 1057, HoldingRow, Kp),
    Gain("holdKi", 1061, HoldingRow, Ki),
    Gain("holdKd", 1062, HoldingRow, Kd),
    Gain("speedKp", 1052, SpeedRow, Kp),
    Gain("speedKi", 1053, SpeedRow, Ki),
    Gain("speedKd", 1054, SpeedRow, Kd),
    Gain("positionKp", 1056, PositionRow, Kp),
    Gain("positionKi", 1059, PositionRow, Ki),
    Gain("positionKd", 1060, PositionRow, Kd),
};
static_assert(ShowsAll(fields::pid::Params, kGains));

constexpr FieldSpec kControls[] = {
    Field::Static(0, "速度PID参数:").At(Group, SpeedRow),
    Field::Static(0, "位置PID参数:").At(Group, PositionRow),
    Field::Static(0, "自锁PID参数:").At(Group, HoldingRow),
    Field::Button(ReadButton, "读取").At(Group, ButtonRow, Ki + 1),
    Field::Button(ConfigureButton, "配置").At(Group, ButtonRow, Kd + 1),
};

}  // namespace

std::span<const GroupSpec> Groups() { return kGroups; }
std::span<const FieldSpec> Gains() { return kGains; }
std::span<const FieldSpec> Controls() { return kControls; }

}  // namespace forms::pid
