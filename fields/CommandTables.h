// What the driver's command registers mean: the stop modes, the run
// commands, the position move, the reciprocation command and the registers
// of the learning block. The motor control page offers the stop modes and
// position types from here; the frame decoder names what a frame sends.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "driver/RegisterMap.h"
#include "fields/Param.h"

namespace fields::command {

inline constexpr ListItem StopModes[] = {{"正常停止", 0}, {"紧急停止", 1}, {"自由停止", 2}};
inline constexpr ListItem PositionTypes[] = {{"绝对位置", 0}, {"相对位置", 1}};
// Written by the reciprocation page's test buttons; read back as 0 once the
// driver has finished.
inline constexpr ListItem ReciprocateOperations[] = {
    {"已结束", 0},
    {"取消操作", RegisterMap::ReciprocateCancel},
    {"SQ1复位", RegisterMap::ReciprocateResetSq1},
    {"SQ2复位", RegisterMap::ReciprocateResetSq2},
    {"测量行程", RegisterMap::ReciprocateMeasureStroke},
};
inline constexpr ListItem LearningRunFlags[] = {{"已停止", 0}, {"运行", 1}};
inline constexpr ListItem LearningStates[] = {{"学习成功", RegisterMap::LearningSucceeded},
                                              {"学习失败", RegisterMap::LearningFailed}};

// A register that a single write commands, with its one entry.
struct CommandRegister {
  uint16_t address;
  const char* name;
  ParamSpec param;
};

// The value of a command register, which is its own one-word record.
constexpr RecordSlot Word(Storage storage, const char* key) { return {storage, 0, key}; }

inline constexpr CommandRegister Commands[] = {
    {RegisterMap::StopCommand, "停止命令", Param::Choice("停止方式:", StopModes, Word(Storage::U16, "stopMode"))},
    {RegisterMap::PwmDutyCommand, "PWM占空比命令",
     Param::Number("输出PWM:", Word(Storage::S16, "pwmDuty")).Decimals(1).Unit("%")},
    {RegisterMap::FrequencyCommand, "换向频率命令",
     Param::Number("换向频率:", Word(Storage::S16, "frequency")).Decimals(1).Unit("Hz")},
    // Offered by the driver, sent by no page: its unit is not known here.
    {RegisterMap::ThirdSpeedCommand, "第三速度命令", Param::Number("数值:", Word(Storage::U16, "thirdSpeed"))},
    {RegisterMap::ReciprocateCommand, "往复运动命令",
     Param::Choice("操作:", ReciprocateOperations, Word(Storage::U16, "operation"))},
};

// The command register at `address`; nullptr for none.
const CommandRegister* FindCommand(uint16_t address);

// A signed 32-bit value kept as two words, high first.
std::string FormatSigned32Slot(const uint8_t* record);
std::string TakeSigned32Slot(std::string_view text, uint8_t* record);
inline constexpr CustomCodec kSigned32Codec{FormatSigned32Slot, TakeSigned32Slot, 4};

inline constexpr const char* PositionMoveTitle = "位置运动命令";
inline constexpr ParamSpec PositionMove[] = {
    Param::Number("换向频率:", KV_RECORD(PositionMoveBlock, frequency)).Decimals(1).Unit("Hz"),
    Param::Choice("位置类型:", PositionTypes, KV_RECORD(PositionMoveBlock, positionType)),
    Param::Number("转动位置:", KV_RECORD_CUSTOM(PositionMoveBlock, positionHigh)).WithCodec(&kSigned32Codec),
};

// The phase order a learning run found, its six result words each whole
// ("%02X"), so a value beyond a byte shows as it came.
std::string LearnedPhaseOrderText(const uint16_t* results);
std::string FormatLearnedPhaseOrderSlot(const uint8_t* record);
// The results are the driver's; a text is never taken into them.
std::string RefuseLearnedPhaseOrder(std::string_view text, uint8_t* record);
inline constexpr CustomCodec kLearnedPhaseOrderCodec{FormatLearnedPhaseOrderSlot, RefuseLearnedPhaseOrder,
                                                     2 * RegisterMap::LearningResultWords};

inline constexpr const char* LearningTitle = "电机学习";
constexpr RecordSlot LearningWord(int word, Storage storage, const char* key) {
  return {storage, static_cast<uint16_t>(2 * word), key};
}
inline constexpr ParamSpec Learning[] = {
    Param::Choice("运行标志:", LearningRunFlags, LearningWord(RegisterMap::LearningRunFlagWord, Storage::U16, "runFlag")),
    Param::Choice("学习状态:", LearningStates, LearningWord(RegisterMap::LearningStateWord, Storage::U16, "state")),
    Param::Number("结果个数:", LearningWord(RegisterMap::LearningCountWord, Storage::U16, "resultCount")),
    Param::Number("电机相序数据:",
                  LearningWord(RegisterMap::LearningFirstResultWord, Storage::Custom, "phaseOrder"))
        .WithCodec(&kLearnedPhaseOrderCodec),
};
}  // namespace fields::command
