// The one description of every parameter register: a table per writable
// block of the driver, in the order its page shows it. The pages place
// these entries (ui/forms), the parameter file stores and loads them, and
// the command line reads and writes them by key.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "driver/RegisterMap.h"
#include "fields/Param.h"

namespace fields {

// The phase-order bytes of the motor parameters: three words, two bytes
// each, high byte first, shown as "1A 2B 3C 4D 5E 6F".
std::string PhaseOrderText(const uint16_t words[3]);
// Empty text: three zero words. Otherwise exactly six hexadecimal values
// 00..FF separated by spaces. Empty on success, else what is accepted.
std::string ParsePhaseOrder(std::string_view text, uint16_t words[3]);
std::string FormatPhaseOrderSlot(const uint8_t* record);
std::string TakePhaseOrderSlot(std::string_view text, uint8_t* record);
inline constexpr CustomCodec kPhaseOrderCodec{FormatPhaseOrderSlot, TakePhaseOrderSlot, 6};

namespace ramp {
inline constexpr const char* Title = "PWM方式缓冲/闭环方式加速度";
// Entries above 6553.5 are taken as 6553.5, the largest a ramp register holds.
constexpr ParamSpec Ramp(const char* label, RecordSlot slot, const char* unit) {
  return Param::Number(label, slot).Decimals(1).Unit(unit).ClampHigh();
}
inline constexpr ParamSpec Params[] = {
    Ramp("PWM上升缓冲:", KV_RECORD(RampBlock, pwmRise), "秒"),
    Ramp("PWM下降缓冲:", KV_RECORD(RampBlock, pwmFall), "秒"),
    Ramp("加速加速度:", KV_RECORD(RampBlock, acceleration), "Hz/s"),
    Ramp("减速加速度:", KV_RECORD(RampBlock, deceleration), "Hz/s"),
};
}  // namespace ramp

namespace motor {
inline constexpr const char* Title = "电机参数配置";
inline constexpr ListItem Algorithms[] = {{"速度闭环控制", 0}, {"时间-位置闭环控制", 1}};
// Items of the learning-state list, by the value of bit 0.
inline constexpr int NotLearned = 0;
inline constexpr int Learned = 1;
inline constexpr ListItem LearnStates[] = {{"未学习", NotLearned}, {"已学习", Learned}};

constexpr ParamSpec Number(const char* label, RecordSlot slot, uint8_t decimals, const char* unit) {
  return Param::Number(label, slot).Decimals(decimals).Unit(unit);
}
#define KV_MOTOR(member) KV_RECORD(MotorParamBlock, member)
// In the order the page shows them, so a refusal names the first bad entry
// from the top.
inline constexpr ParamSpec Params[] = {
    Number("额定电流:", KV_MOTOR(ratedCurrent), 2, "A"),
    Number("最大负载电流:", KV_MOTOR(maxLoadCurrent), 2, "A"),
    Number("制动电流:", KV_MOTOR(brakeCurrent), 2, "A"),
    Number("减速器减速比:", KV_MOTOR(gearRatio), 1, ":1"),
    Number("PWM调速启动缓冲:", KV_MOTOR(pwmStartBuffer), 1, "秒"),
    Number("PWM调速减速缓冲:", KV_MOTOR(pwmStopBuffer), 1, "秒"),
    Number("最大换向频率:", KV_MOTOR(maxFrequency), 1, "Hz"),
    Number("默认换向频率:", KV_MOTOR(defaultFrequency), 1, "Hz"),
    Number("最大加速加速度:", KV_MOTOR(maxAcceleration), 1, "Hz/s"),
    Number("默认加速加速度:", KV_MOTOR(defaultAcceleration), 1, "Hz/s"),
    Number("最大减速加速度:", KV_MOTOR(maxDeceleration), 1, "Hz/s"),
    Number("默认减速加速度:", KV_MOTOR(defaultDeceleration), 1, "Hz/s"),
    Number("位置控制允许误差:", KV_MOTOR(positionTolerance), 0, "脉冲"),
    Number("电机极个数:", KV_MOTOR(poleCount), 0, "个"),
    Param::Choice("稳速控制算法:", Algorithms, KV_MOTOR(speedAlgorithm)).Bit0(),
    Param::Flag("位置控制超调后进行校正", KV_MOTOR(overshootCorrection)),
    Param::Flag("禁用电机学习功能", KV_MOTOR(learningDisabled)),
    Param::Choice("电机学习状态:", LearnStates, KV_MOTOR(learnState)).Bit0(),
    Param::Number("电机相序数据:", KV_RECORD_CUSTOM(MotorParamBlock, phaseOrder)).WithCodec(&kPhaseOrderCodec),
};
#undef KV_MOTOR
// The motor's learning result: what a learning run found for the motor on
// this unit (the learned flag and the phase order). A file from another
// unit carries its motor's, not this one's.
inline constexpr std::string_view LearnStateKey = "learnState";
inline constexpr std::string_view PhaseOrderKey = "phaseOrder";
}  // namespace motor

namespace sys {
inline constexpr const char* Title = "系统参数配置";
inline constexpr ListItem Trigger[] = {
    {"低电平/闭合", 0}, {"高电平/断开", 1}, {"下降沿/闭合瞬间", 2}, {"上升沿/断开瞬间", 3}, {"禁用", 4}};
inline constexpr ListItem Polarity[] = {
    {"低电平/闭合", 0}, {"高电平/断开", 1}, {"下降沿/闭合瞬间", 2}, {"上升沿/断开瞬间", 3}};
inline constexpr ListItem AnalogType[] = {{"单端信号", 0}, {"差分信号", 1}, {"双单端独立", 2}, {"双单端协同", 3}};
inline constexpr ListItem LogicLevel[] = {{"开关量", 0}, {"0/3.3V", 1}, {"0/5V", 2}, {"0/12V或0/24V", 3}};
inline constexpr ListItem PulseType[] = {{"PWM", 0}, {"频率", 1}, {"脉冲(计数)", 2}};
inline constexpr ListItem Potentiometer[] = {{"单电位器", 0}, {"双电位器独立", 1}, {"双电位器协同", 2}};
// The register pair holds the rate itself; a rate the list lacks is shown
// as an item of its own and written back, so the driver keeps its rate.
inline constexpr ListItem Baud[] = {
    {"9600", 9600}, {"19200", 19200}, {"38400", 38400}, {"57600", 57600}, {"115200", 115200}};
inline constexpr ListItem Parity[] = {{"无校验+2停止位", 0}, {"奇校验+1停止位", 1}, {"偶校验+1停止位", 2}};

constexpr ParamSpec Millis(const char* label, RecordSlot slot) { return Param::Number(label, slot).Decimals(3); }
constexpr ParamSpec Tenths(const char* label, RecordSlot slot) {
  return Param::Number(label, slot).Decimals(1).Unit("秒");
}
#define KV_SYS(member) KV_RECORD(SystemParamBlock, member)
// In register order.
inline constexpr ParamSpec Params[] = {
    Param::Choice("限位触发极性:", Trigger, KV_SYS(limitTriggerPolarity)),
    Param::Choice("数字信号极性:", Polarity, KV_SYS(digitalSignalPolarity)),
    Param::Choice("电位器用法:", Potentiometer, KV_SYS(potentiometerMode)),
    Param::Choice("脉冲信号类型:", PulseType, KV_SYS(pulseSignalType)),
    Param::Choice("模拟信号类型:", AnalogType, KV_SYS(analogSignalType)),
    Param::Choice("逻辑电平类型:", LogicLevel, KV_SYS(logicLevelType)),
    Millis("电位器电压范围:", KV_SYS(potVoltageLow)).Named("电位器电压下限"),
    Millis("-", KV_SYS(potVoltageHigh)).Named("电位器电压上限"),
    Millis("模拟信号范围:", KV_SYS(analogRangeLow)).Named("模拟信号范围下限"),
    Millis("-", KV_SYS(analogRangeHigh)).Named("模拟信号范围上限"),
    Millis("逻辑电平阈值:", KV_SYS(logicThreshold)).Unit("V"),
    Millis("电压比较死区:", KV_SYS(compareDeadband)).Unit("V"),
    Param::Number("脉冲信号倍率:", KV_SYS(pulseRatio)).Float(FloatText::Fixed),
    Tenths("堵转停机时间:", KV_SYS(stallStopTime)),
    Param::Choice("串口波特率:", Baud, KV_RECORD_SPLIT(SystemParamBlock, serialBaudHigh, "serialBaud")).UnknownAsItem(),
    Param::Choice("校验方式:", Parity, KV_SYS(serialParity)),
    Param::Flag("485通讯控制时禁止参数配置", KV_SYS(lockConfigOver485)),
    Tenths("通讯中断制动时间:", KV_SYS(commLossBrakeTime)),
    Param::Number("y=", KV_SYS(analogGain)).Float(FloatText::Fixed).Named("模拟信号调整 y"),
    Param::Number("x+", KV_SYS(analogOffset)).Decimals(3).Named("模拟信号调整 x+"),
    Param::Flag("禁用报警", KV_SYS(alarmDisabled)),
};
#undef KV_SYS
// The entries of the driver's own line settings: a change takes effect
// when the driver restarts.
inline constexpr std::string_view BaudKey = "serialBaud";
inline constexpr std::string_view ParityKey = "serialParity";
}  // namespace sys

namespace pid {
inline constexpr const char* Title = "闭环控制参数";
#define KV_PID(member) KV_RECORD(PidBlock, member)
// In the order of the block's floats (holding first).
inline constexpr ParamSpec Params[] = {
    Param::Number("Kp:", KV_PID(holdKp)).Named("自锁PID参数 Kp"),
    Param::Number("Ki:", KV_PID(holdKi)).Named("自锁PID参数 Ki"),
    Param::Number("Kd:", KV_PID(holdKd)).Named("自锁PID参数 Kd"),
    Param::Number("Kp:", KV_PID(speedKp)).Named("速度PID参数 Kp"),
    Param::Number("Ki:", KV_PID(speedKi)).Named("速度PID参数 Ki"),
    Param::Number("Kd:", KV_PID(speedKd)).Named("速度PID参数 Kd"),
    Param::Number("Kp:", KV_PID(positionKp)).Named("位置PID参数 Kp"),
    Param::Number("Ki:", KV_PID(positionKi)).Named("位置PID参数 Ki"),
    Param::Number("Kd:", KV_PID(positionKd)).Named("位置PID参数 Kd"),
};
#undef KV_PID
}  // namespace pid

namespace reciprocate {
inline constexpr const char* Title = "往复过程控制";
inline constexpr const char* Hz = "Hz(脉冲/秒)";
inline constexpr ListItem ResetMode[] = {{"不复位", 0}, {"SQ2复位", 1}, {"SQ1复位", 2}};
#define KV_REC(member) KV_RECORD(ReciprocateBlock, member)
// In register order.
inline constexpr ParamSpec Params[] = {
    Param::Choice("复位方式:", ResetMode, KV_REC(resetMode)),
    Param::Flag("启用复位细调", KV_REC(fineResetEnabled)),
    Param::Number("总行程:", KV_REC(totalStroke)).Unit("脉冲"),
    Param::Number("复位粗调速度:", KV_REC(coarseResetSpeed)).Decimals(1).Unit(Hz),
    Param::Number("复位细调速度:", KV_REC(fineResetSpeed)).Decimals(1).Unit(Hz),
    Param::Number("完成后速度:", KV_REC(finishSpeed)).Decimals(1).Unit(Hz),
    Param::Number("忽略变化量低于", KV_REC(inputDeadband)).Decimals(1).Unit("% 的输入信号").Named("输入信号忽略变化量"),
    Param::Flag("限位后重新复位", KV_REC(resetAfterLimit)),
    Param::Number("复位时转矩:", KV_REC(resetTorqueCurrent)).Decimals(2).Unit("A×N·m/A"),
};
#undef KV_REC
}  // namespace reciprocate

namespace preset {
inline constexpr const char* Title = "预设正反转速度";
inline constexpr uint16_t TorqueMode = 1;
inline constexpr ListItem SpeedMode[] = {{"占空比", 0}, {"力矩", TorqueMode}, {"速度闭环", 2}, {"位置闭环", 3}};
inline constexpr ListItem ContactMode[] = {{"双触点", 0}, {"单触点", 1}};
// The speeds count 0.01 in torque mode, else 0.1.
constexpr std::array<ParamSpec, 4> ParamsAt(uint8_t decimals) {
  return {
      Param::Choice("调速方式:", SpeedMode, KV_RECORD(PresetSpeedBlock, speedMode)),
      Param::Choice("控制方式:", ContactMode, KV_RECORD(PresetSpeedBlock, contactMode)),
      Param::Number("正转速度:", KV_RECORD(PresetSpeedBlock, forwardSpeed)).Decimals(decimals),
      Param::Number("反转速度:", KV_RECORD(PresetSpeedBlock, reverseSpeed)).Decimals(decimals),
  };
}
inline constexpr std::array<ParamSpec, 4> Tenths = ParamsAt(1);
inline constexpr std::array<ParamSpec, 4> Hundredths = ParamsAt(2);
inline constexpr size_t SpeedModeParam = 0;
// The entries for a speed mode register value.
constexpr std::span<const ParamSpec> ParamsFor(uint16_t speedMode) {
  return speedMode == TorqueMode ? std::span<const ParamSpec>(Hundredths) : std::span<const ParamSpec>(Tenths);
}
}  // namespace preset

// A writable block as the file and the command line know it: its key, the
// title its page gives it, where it lives, and its entries for a record
// (the preset speeds' scale follows the record's speed mode).
struct ParamBlock {
  const char* key;
  const char* title;
  const BlockSpec* spec;
  std::span<const ParamSpec> (*paramsFor)(const uint8_t* record);
};

// ramp, motor, system, pid, reciprocate, preset-speed: the file's order.
std::span<const ParamBlock> ParamBlocks();
// nullptr for a key that names no block.
const ParamBlock* FindParamBlock(std::string_view key);

}  // namespace fields
