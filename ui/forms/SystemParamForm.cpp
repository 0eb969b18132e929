#include "ui/forms/SystemParamForm.h"

#include "driver/RegisterMap.h"

namespace forms::sysparam {
namespace {

// The page's frame, and inside it the lists in two columns, the edits in two
// columns below them, and the switches with the buttons at the bottom.
// The edits' columns have widths of their own, not those of the lists.
enum Group { Frame, Lists, MoreLists, EditRow, Edits, MoreEdits, Bottom };
constexpr GroupSpec kGroups[] = {
    {"系统参数配置", 0, 0},
    {nullptr, 0, 0, 1, 1, Frame},
    {nullptr, 0, 1, 1, 1, Frame},
    {nullptr, 1, 0, 1, 2, Frame},
    {nullptr, 0, 0, 1, 1, EditRow},
    {nullptr, 0, 1, 1, 1, EditRow},
    {nullptr, 2, 0, 1, 2, Frame},
};

// Edits of a range: the lower bound after the row's label, the upper bound
// after a "-" in the next column pair.
constexpr int Lower = 0;
constexpr int Upper = 2;

constexpr ListItem kTrigger[] = {
    {"低电平/闭合", 0}, {"高电平/断开", 1}, {"下降沿/闭合瞬间", 2}, {"上升沿/断开瞬间", 3}, {"禁用", 4}};
constexpr ListItem kPolarity[] = {{"低电平/闭合", 0}, {"高电平/断开", 1}, {"下降沿/闭合瞬间", 2}, {"上升沿/断开瞬间", 3}};
constexpr ListItem kAnalogType[] = {{"单端信号", 0}, {"差分信号", 1}, {"双单端独立", 2}, {"双单端协同", 3}};
constexpr ListItem kLogicLevel[] = {{"开关量", 0}, {"0/3.3V", 1}, {"0/5V", 2}, {"0/12V或0/24V", 3}};
constexpr ListItem kPulseType[] = {{"PWM", 0}, {"频率", 1}, {"脉冲(计数)", 2}};
constexpr ListItem kPotentiometer[] = {{"单电位器", 0}, {"双电位器独立", 1}, {"双电位器协同", 2}};
// The register pair holds the rate itself; a rate the list lacks is shown
// as an item of its own and written back, so the driver keeps its rate.
constexpr ListItem kBaud[] = {{"9600", 9600}, {"19200", 19200}, {"38400", 38400}, {"57600", 57600}, {"115200", 115200}};
constexpr ListItem kParity[] = {{"无校验+2停止位", 0}, {"奇校验+1停止位", 1}, {"偶校验+1停止位", 2}};

constexpr FieldSpec Millis(int id, const char* label, RecordSlot slot, int row, int column = Lower) {
  return Field::Edit(id, label, slot).Decimals(3).Chars(6).At(Edits, row, column);
}
constexpr FieldSpec Tenths(int id, const char* label, RecordSlot slot, int group, int row) {
  return Field::Edit(id, label, slot).Decimals(1).Chars(4).Unit("秒").At(group, row);
}

#define SYS(member) KV_RECORD(SystemParamBlock, member)

constexpr FieldSpec kFields[] = {
    Field::List(1067, "限位触发极性:", kTrigger, SYS(limitTriggerPolarity)).At(Lists, 0),
    Field::List(1068, "数字信号极性:", kPolarity, SYS(digitalSignalPolarity)).At(Lists, 1),
    Field::List(1074, "电位器用法:", kPotentiometer, SYS(potentiometerMode)).At(Lists, 2),
    Field::List(1073, "脉冲信号类型:", kPulseType, SYS(pulseSignalType)).At(Lists, 3),
    Field::List(AnalogTypeList, "模拟信号类型:", kAnalogType, SYS(analogSignalType)).At(MoreLists, 0),
    Field::List(LogicLevelList, "逻辑电平类型:", kLogicLevel, SYS(logicLevelType)).At(MoreLists, 1),
    Millis(1112, "电位器电压范围:", SYS(potVoltageLow), 0).Named("电位器电压下限"),
    Millis(1113, "-", SYS(potVoltageHigh), 0, Upper).Named("电位器电压上限"),
    Millis(1106, "模拟信号范围:", SYS(analogRangeLow), 1).Named("模拟信号范围下限"),
    Millis(1107, "-", SYS(analogRangeHigh), 1, Upper).Named("模拟信号范围上限"),
    Millis(1108, "逻辑电平阈值:", SYS(logicThreshold), 2).Unit("V"),
    Millis(1114, "电压比较死区:", SYS(compareDeadband), 3).Unit("V"),
    Field::Edit(1109, "脉冲信号倍率:", SYS(pulseRatio)).Float(FloatText::Fixed).Chars(10).At(MoreEdits, 0),
    Tenths(1048, "堵转停机时间:", SYS(stallStopTime), MoreEdits, 4),
    Field::List(1002, "串口波特率:", kBaud, KV_RECORD_SPLIT(SystemParamBlock, serialBaudHigh))
        .UnknownAsItem()
        .At(MoreLists, 2),
    Field::List(1071, "校验方式:", kParity, SYS(serialParity)).At(MoreLists, 3),
    Field::Check(1058, "485通讯控制时禁止参数配置", SYS(lockConfigOver485)).At(Bottom, 0, 0),
    Tenths(1057, "通讯中断制动时间:", SYS(commLossBrakeTime), Edits, 4),
    Field::Edit(1110, "y=", SYS(analogGain)).Float(FloatText::Fixed).Chars(10).Named("模拟信号调整 y").At(MoreEdits, 2),
    Field::Edit(1111, "x+", SYS(analogOffset)).Decimals(3).Chars(10).Named("模拟信号调整 x+").At(MoreEdits, 3),
    Field::Check(1120, "禁用报警", SYS(alarmDisabled)).At(Bottom, 0, 1),
};

#undef SYS

constexpr FieldSpec kControls[] = {
    Field::Static(0, "模拟信号调整:").At(MoreEdits, 1),
    Field::Button(ReadButton, "读取").At(Bottom, 0, 2),
    Field::Button(ConfigureButton, "配置").At(Bottom, 0, 3),
};

constexpr ListDefault kDefaults[] = {
    {AnalogTypeList, 0, 1106, "0.000"}, {AnalogTypeList, 0, 1107, "10.000"},
    {AnalogTypeList, 1, 1106, "0.000"}, {AnalogTypeList, 1, 1107, "3.300"},
    {AnalogTypeList, 2, 1106, "0.000"}, {AnalogTypeList, 2, 1107, "10.000"},
    {AnalogTypeList, 3, 1106, "0.000"}, {AnalogTypeList, 3, 1107, "5.000"},
    {LogicLevelList, 0, 1108, "2.000"}, {LogicLevelList, 1, 1108, "2.000"},
    {LogicLevelList, 2, 1108, "3.000"}, {LogicLevelList, 3, 1108, "5.000"},
};

}  // namespace

std::span<const GroupSpec> Groups() { return kGroups; }
std::span<const FieldSpec> Fields() { return kFields; }
std::span<const FieldSpec> Controls() { return kControls; }
std::span<const ListDefault> ListDefaults() { return kDefaults; }

}  // namespace forms::sysparam
