#include "ui/forms/PidParamForm.h"

#include "driver/RegisterMap.h"

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

constexpr FieldSpec Gain(int id, const char* label, const char* name, RecordSlot slot, int row, int column) {
  return Field::Edit(id, label, slot).Named(name).Chars(GainChars).At(Group, row, column);
}

constexpr GroupSpec kGroups[] = {{"闭环控制参数", 0, 0}};

constexpr FieldSpec kGains[] = {
    Gain(1057, "Kp:", "自锁PID参数 Kp", KV_RECORD(PidBlock, holdKp), HoldingRow, Kp),
    Gain(1061, "Ki:", "自锁PID参数 Ki", KV_RECORD(PidBlock, holdKi), HoldingRow, Ki),
    Gain(1062, "Kd:", "自锁PID参数 Kd", KV_RECORD(PidBlock, holdKd), HoldingRow, Kd),
    Gain(1052, "Kp:", "速度PID参数 Kp", KV_RECORD(PidBlock, speedKp), SpeedRow, Kp),
    Gain(1053, "Ki:", "速度PID参数 Ki", KV_RECORD(PidBlock, speedKi), SpeedRow, Ki),
    Gain(1054, "Kd:", "速度PID参数 Kd", KV_RECORD(PidBlock, speedKd), SpeedRow, Kd),
    Gain(1056, "Kp:", "位置PID参数 Kp", KV_RECORD(PidBlock, positionKp), PositionRow, Kp),
    Gain(1059, "Ki:", "位置PID参数 Ki", KV_RECORD(PidBlock, positionKi), PositionRow, Ki),
    Gain(1060, "Kd:", "位置PID参数 Kd", KV_RECORD(PidBlock, positionKd), PositionRow, Kd),
};

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
