// The driver's command registers in the tool's words: the stop modes, the
// position types and the reciprocation commands as the pages offer them,
// and the text of any write as the plot's marks show it.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "driver/RegisterMap.h"
#include "fields/Param.h"

namespace fields {

// Values of the stop command register.
inline constexpr ListItem StopModes[] = {{"正常停止", 0}, {"紧急停止", 1}, {"自由停止", 2}};
// Values of the position type register of a move.
inline constexpr ListItem PositionTypes[] = {{"绝对位置", 0}, {"相对位置", 1}};
// Values of the reciprocation command register, as its buttons say them.
inline constexpr ListItem ReciprocateCommands[] = {{"取消操作", RegisterMap::ReciprocateCancel},
                                                   {"SQ1复位", RegisterMap::ReciprocateResetSq1},
                                                   {"SQ2复位", RegisterMap::ReciprocateResetSq2},
                                                   {"测量行程", RegisterMap::ReciprocateMeasureStroke}};

// The text of a list item by its value; empty for a value it has none for.
const char* ItemText(std::span<const ListItem> items, int value);

// What a write of `count` words from `start` asks of the driver: "频率运行
// 100.0Hz", "停止 正常停止", "开始学习", "写入 电机参数配置"; a write of
// other registers names its first register.
std::string CommandText(uint16_t start, const uint16_t* words, uint16_t count);

}  // namespace fields
